// The script server's sessions (scpi/ScpiSession.h) over the line arbiter of
// a run controller on the scripted serial control: three clients send
// arbitrary bytes in arbitrary pieces and vanish, among polling ticks, time
// passing, a supply that answers on time, in pieces, garbled or never, and a
// line that is lost and reopened. The sessions talk over in-memory sockets.
// The supply answers every quantity with a value of its own, so that a reply
// handed to the wrong asker shows. Besides what the sanitizers catch, every
// input is held to:
//   - every line written to the supply is in its vocabulary: its queries,
//     its commands, and settings in a number's plain form within the limits
//     in force; nothing is written between a client's query and its reply;
//   - every reply line a client gets answers one of the lines it sent, in
//     order: each answer is the value of the quantity that line asked for
//     (or the meter's number, "1" for *OPC?, an error text for SYST:ERR?),
//     never another's; a query that failed leaves its answer out; an
//     identity or version text may be the supply's answer cut short by its
//     time-out, or garbled by the supply, but never another query's garble;
//   - a session's line buffer, command queue, error queue and unread replies
//     stay within their bounds, the arbiter's clients waiting and commands
//     held and the decoder's buffer within theirs;
//   - once the supply answers everything on time, no session is left
//     waiting for the line.
//
// Input: a sequence of operations, each one byte, some with arguments:
//   '0' '1' '2'  client 0, 1 or 2 sends the bytes up to and including the
//                next line feed (or to the end)
//   '3' '4' '5'  client 0, 1 or 2 sends a piece: [n] [r] then n bytes, the
//                piece r modulo 16 times more (long lines, floods)
//   'x' 'y' 'z'  client 0, 1 or 2 disconnects (the next one in its place
//                connects when it first sends)
//   'r'          every client reads the replies waiting for it
//   't'          a polling tick (while polling)
//   'P'          polling switched on or off (while the port is open)
//   'v'          the operator sets the voltage
//   'f'          an output-off is owed (a programmed run stopped, an output
//                timer ran out): it goes ahead of every client
//   'w' [n]      n times 10 ms pass
//   'a'          the supply answers its oldest unanswered query
//   'h' [n]      the supply sends the first n bytes of that answer only
//   'g'          the supply answers it garbled
//   'n'          the supply never answers it
//   'l'          the line is lost
//   'o'          the reconnection tries to reopen it
//   '~'          at a yield: the operation after it runs inside the yield
// Any other byte stands for one of these (its value modulo their number), so
// that every byte does something.

#include "DecimalForm.h"
#include "FuzzInput.h"
#include "control/RunController.h"
#include "scpi/ScpiParser.h"
#include "scpi/ScpiSession.h"
#include "support/ScriptedSerialControl.h"

#include <QCoreApplication>
#include <QPointer>
#include <QRegularExpression>
#include <QTcpSocket>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <utility>

namespace {

constexpr int Clients = 3;
// The supply answers within this time of a query or never: a reply later
// than a time-out and the quiet after it cannot be told from an answer to
// the next query by anyone.
constexpr qint64 LatestAnswerMs = LineArbiter::LatestReplyMs - 1;
constexpr int MaxRepeats = 16;
constexpr qint64 DrainStepMs = 100;
constexpr int DrainSteps = 20 * LineArbiter::LatestReplyMs / DrainStepMs;
const char Operations[] = "012345xyzrtPvfwahgnlo~";

// Every query the supply knows, its answer and what a client reads of it.
struct Known {
    QByteArray query;
    QByteArray answer;
    QString value;
};

const std::vector<Known>& knownQueries() {
    static const std::vector<Known> table = {
        {"MEASure:SCALar:VOLTage:DC?CR", "+1.50000E+00\r\n", "1.5"},
        {"MEASure:SCALar:CURRent:DC?CR", "+2.50000E-01\r\n", "0.25"},
        {"VOLTage:LEVel?CR", "+3.00000E+02\r\n", "300"},
        {"CURRent:LEVel?CR", "+4.00000E+00\r\n", "4"},
        {"VOLTage:PROTection:LEVel?CR", "+3.30000E+01\r\n", "33"},
        {"CURRent:PROTection:LEVel?CR", "+6.00000E+00\r\n", "6"},
        {"OUTPut:STATe?CR", "1\r\n", "1"},
        {"SOUR:MODE?CR", "0\r\n", "0"},
        {"APPL?CR", "2\r\n", "2"},
        {"*IDN?CR", "VELMOR,PSU-3005,SN0042,V1.06\r\n", "VELMOR,PSU-3005,SN0042,V1.06"},
        {"SYST:VERS?CR", "V1.06\r\n", "V1.06"},
    };
    return table;
}

// A garbled answer of the supply's, different for every query: a text
// reading that takes it shows whose it was.
QByteArray garbled(const QByteArray& query) {
    const std::vector<Known>& table = knownQueries();
    const auto row = std::find_if(table.begin(), table.end(),
                                  [&query](const Known& known) { return known.query == query; });
    return "#?" + QByteArray::number(row - table.begin()) + "\r\n";
}

const Known& known(const char* query) {
    for (const Known& known : knownQueries())
        if (known.query == query)
            return known;
    std::abort();
}

// A text reading is the supply's answer, or what came of it before its
// time ran out, or that with the answer garbled after it.
bool textAnswers(const Known& known, const QString& item) {
    const QString garble = QString::fromLatin1(garbled(known.query)).chopped(2);
    const QStringView taken =
        item.endsWith(garble) ? QStringView(item).chopped(garble.size()) : QStringView(item);
    return !item.isEmpty() && known.value.startsWith(taken);
}

// What a client may read in answer to a query of the header's.
bool answers(Scpi::Header header, const QString& item) {
    using H = Scpi::Header;
    switch (header) {
    case H::Identify:
        return textAnswers(known("*IDN?CR"), item);
    case H::SystemVersion:
        return textAnswers(known("SYST:VERS?CR"), item);
    case H::MeasureVoltage:
    case H::FetchVoltage:
        return item == known("MEASure:SCALar:VOLTage:DC?CR").value;
    case H::MeasureCurrent:
    case H::FetchCurrent:
        return item == known("MEASure:SCALar:CURRent:DC?CR").value;
    case H::Voltage:
        return item == known("VOLTage:LEVel?CR").value;
    case H::Current:
        return item == known("CURRent:LEVel?CR").value;
    case H::VoltageProtection:
        return item == known("VOLTage:PROTection:LEVel?CR").value;
    case H::CurrentProtection:
        return item == known("CURRent:PROTection:LEVel?CR").value;
    case H::Output:
        return item == known("OUTPut:STATe?CR").value;
    case H::Mode:
        return item == known("SOUR:MODE?CR").value;
    case H::Channel:
        return item == known("APPL?CR").value;
    case H::OperationComplete:
        return item == QStringLiteral("1");
    case H::SystemError:
        for (int code : {0, -100, -104, -108, -109, -113, -222, -224, -230, -240, -350})
            if (item == Scpi::errorReply(code))
                return true;
        return false;
    case H::MeasurePower: {
        // Fresh readings of the two, multiplied.
        const double volts = known("MEASure:SCALar:VOLTage:DC?CR").value.toDouble();
        const double amps = known("MEASure:SCALar:CURRent:DC?CR").value.toDouble();
        return isPlainDecimalForm(item) &&
               std::abs(item.toDouble() - volts * amps) <= 1e-9 * std::max(1.0, volts * amps);
    }
    case H::Watchdog: {
        bool whole = false;
        const int seconds = item.toInt(&whole);
        return whole && seconds >= 0 && seconds <= 3600;
    }
    case H::FetchPower:
    case H::FetchWattHours:
    case H::FetchAmpHours:
        return isPlainDecimalForm(item);
    case H::ClearStatus:
    case H::Wait:
    case H::OutputProtectionClear:
    case H::ResetWattHours:
    case H::ResetAmpHours:
        break;
    }
    return false;
}

// The queries of one line a client sent, in order.
QList<Scpi::Header> queriesOf(const QByteArray& line) {
    QList<Scpi::Header> queries;
    for (const Scpi::Parsed& parsed : Scpi::parseLine(QString::fromLatin1(line)))
        if (parsed.command && parsed.command->query)
            queries << parsed.command->header;
    return queries;
}

// The answers in order, each to a query after the one before's.
bool answersInOrder(const QStringList& items, const QList<Scpi::Header>& queries) {
    qsizetype next = 0;
    for (const QString& item : items) {
        while (next < queries.size() && !answers(queries[next], item))
            ++next;
        if (next == queries.size())
            return false;
        ++next;
    }
    return true;
}

// A connected socket without a network: the test hands it the client's
// bytes and reads what the session writes. Unread replies count as bytes
// still to write, as they do on a socket whose peer does not read.
class MemorySocket final : public QTcpSocket {
public:
    MemorySocket() {
        setOpenMode(QIODevice::ReadWrite);
        setSocketState(QAbstractSocket::ConnectedState);
    }
    void deliver(const QByteArray& bytes) {
        inbox_ += bytes;
        emit readyRead();
    }
    void hangUp() { emit disconnected(); }
    // The replies written since the last call.
    QByteArray takeWritten() { return std::exchange(written_, {}); }
    void readReplies() { unread_ = 0; }
    qint64 bytesAvailable() const override { return inbox_.size(); }
    qint64 bytesToWrite() const override { return unread_; }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        const qint64 n = std::min<qint64>(maxSize, inbox_.size());
        std::memcpy(data, inbox_.constData(), std::size_t(n));
        inbox_.remove(0, n);
        return n;
    }
    qint64 writeData(const char* data, qint64 size) override {
        written_.append(data, size);
        unread_ += size;
        return size;
    }

private:
    QByteArray inbox_;
    QByteArray written_;
    qint64 unread_ = 0;
};

// The supply behind the scripted control: it answers in order, each query
// with its known answer, within LatestAnswerMs or never.
class Supply {
public:
    explicit Supply(ScriptedSerialControl& comm) : comm_(comm) {}

    void heard(const QByteArray& bytes, qint64 now) {
        for (const Known& known : knownQueries())
            if (bytes == known.query)
                answers_.push_back({known.answer, garbled(known.query), now});
    }
    bool idle() const { return answers_.empty(); }
    // The oldest answer whole (`bytes` < 0) or its first bytes.
    void answer(int bytes) {
        if (answers_.empty())
            return;
        QByteArray& text = answers_.front().text;
        const QByteArray sent = bytes < 0 ? text : text.left(bytes);
        text.remove(0, sent.size());
        if (text.isEmpty())
            answers_.pop_front();
        comm_.receive(sent);
    }
    void garble() {
        if (answers_.empty())
            return;
        const QByteArray text = answers_.front().garbled;
        answers_.pop_front();
        comm_.receive(text);
    }
    void never() {
        if (!answers_.empty())
            answers_.pop_front();
    }
    void timePassed(qint64 now) {
        while (!answers_.empty() && now - answers_.front().asked > LatestAnswerMs)
            answers_.pop_front();
    }
    void lost() { answers_.clear(); }

private:
    struct Answer {
        QByteArray text;
        QByteArray garbled;
        qint64 asked;
    };

    ScriptedSerialControl& comm_;
    std::deque<Answer> answers_;
};

bool withinLimits(const SetpointLimits& limits, const QString& setpoint, double value) {
    if (setpoint == QStringLiteral("VOLTage"))
        return limits.CVSetValueMin <= value && value <= limits.CVSetValueMax;
    if (setpoint == QStringLiteral("CURRent"))
        return limits.CCSetValueMin <= value && value <= limits.CCSetValueMax;
    if (setpoint == QStringLiteral("VOLTage:PROTection"))
        return limits.OVPSetValueMin <= value && value <= limits.OVPSetValueMax;
    return limits.OCPSetValueMin <= value && value <= limits.OCPSetValueMax;
}

// The supply's queries and commands, and settings in a number's plain form
// within the limits in force.
bool inVocabulary(const QByteArray& bytes, const SetpointLimits& limits) {
    static const QRegularExpression fixed(QStringLiteral(
        R"(^((MEASure:SCALar:(VOLTage|CURRent):DC\?|(VOLTage|CURRent)(:PROTection)?:LEVel\?|)"
        R"(OUTPut:STATe\?|SOUR:MODE\?|APPL\?|SYST:VERS\?|\*IDN\?|OUTP [01]|SOUR:MODE [0-2]|)"
        R"(APPL [12]|OUTPut:PROTection:CLEar)CR)?$)"));
    static const QRegularExpression setting(
        QStringLiteral(R"(^((VOLTage|CURRent)(:PROTection)?):LEVel (.*)CR$)"));
    const QString text = QString::fromLatin1(bytes);
    if (fixed.match(text).hasMatch())
        return true;
    const QRegularExpressionMatch match = setting.match(text);
    return match.hasMatch() && isPlainDecimalForm(match.capturedView(4)) &&
           withinLimits(limits, match.captured(1), match.captured(4).toDouble());
}

struct Client {
    QPointer<MemorySocket> socket;
    QPointer<ScpiSession> session;
    QByteArray sentPart;  // sent after the last line feed
    QByteArray replyPart; // read after the last line feed
    // The queries of each line sent and not yet answered, oldest first.
    std::deque<QList<Scpi::Header>> asked;
};

class Bench {
public:
    Bench(const std::uint8_t* data, std::size_t size)
        : data_(data), size_(size), comm_(new ScriptedSerialControl),
          controller_(std::unique_ptr<SerialControl>(comm_), {}, nullptr, 0), supply_(*comm_) {
        link().line().setClock([this] { return now_; });
        link().eventYield().replace([this] { yield(); });
        comm_->onWrite = [this](const QByteArray& bytes) { written(bytes); };
        controller_.setReconnecting(true);
        controller_.switchPort({"COM3", 3, "9600", "NONE", "8", "1", {}});
        link().rating().setVoltageRatingText(QStringLiteral("30  V"));
        link().rating().applyVoltageRating();
        link().rating().setCurrentRatingText(QStringLiteral("3   A"));
        link().rating().applyCurrentRating();
    }
    ~Bench() {
        for (Client& client : clients_)
            delete client.session;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void run() {
        while (at_ < size_)
            step();
        drain();
    }

private:
    SupplyLink& link() { return controller_.link(); }

    int byte() { return at_ < size_ ? data_[at_++] : 0; }

    void step() {
        const char* op = std::strchr(Operations, byte());
        const char c = op && *op ? *op : Operations[data_[at_ - 1] % (sizeof Operations - 1)];
        apply(c);
        // A session that closed goes once the event loop has it back, not
        // inside a yield while its own call may be under way.
        if (yields_ == 0)
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        checkReplies();
        checkBounds();
    }

    void apply(char c) {
        switch (c) {
        case '0':
        case '1':
        case '2':
            send(c - '0', line());
            break;
        case '3':
        case '4':
        case '5':
            send(c - '3', piece());
            break;
        case 'x':
        case 'y':
        case 'z':
            if (MemorySocket* socket = clients_[c - 'x'].socket)
                socket->hangUp();
            break;
        case 'r':
            for (Client& client : clients_)
                if (client.socket)
                    client.socket->readReplies();
            break;
        case 't':
            if (link().polling().isPolling())
                link().polling().SysTickTimer_Timer();
            break;
        case 'P':
            if (link().MSComm().PortOpen())
                controller_.togglePolling();
            break;
        case 'v':
            link().setpoints().send(SetpointCommands::Setpoint::Voltage, QStringLiteral("12.5"));
            break;
        case 'f':
            (void)link().switches().switchOffNow();
            break;
        case 'w':
            passTime(byte() * 10);
            break;
        case 'a':
            supply_.answer(-1);
            break;
        case 'h':
            supply_.answer(byte());
            break;
        case 'g':
            supply_.garble();
            break;
        case 'n':
            supply_.never();
            break;
        case 'l':
            if (link().MSComm().PortOpen())
                comm_->vanish();
            supply_.lost();
            break;
        case 'o':
            // The reconnection's timer (no interval here) tries once.
            QCoreApplication::processEvents();
            break;
        case '~':
            break;
        }
    }

    // A yield runs the operation after a '~', as an event might then.
    void yield() {
        if (at_ < size_ && data_[at_] == '~') {
            ++at_;
            ++yields_;
            if (at_ < size_)
                step();
            --yields_;
        }
    }

    QByteArray line() {
        const auto* begin = reinterpret_cast<const char*>(data_) + at_;
        const void* lf = std::memchr(begin, '\n', size_ - at_);
        const std::size_t n =
            lf ? std::size_t(static_cast<const char*>(lf) - begin) + 1 : size_ - at_;
        at_ += n;
        return QByteArray(begin, qsizetype(n));
    }

    QByteArray piece() {
        const std::size_t wanted = std::size_t(byte());
        const int repeats = byte() % MaxRepeats + 1;
        const std::size_t n = std::min(wanted, size_ - at_);
        const QByteArray bytes(reinterpret_cast<const char*>(data_) + at_, qsizetype(n));
        at_ += n;
        return bytes.repeated(repeats);
    }

    void send(int index, const QByteArray& bytes) {
        Client& client = clients_[index];
        if (!client.session)
            connectClient(client);
        client.sentPart += bytes;
        for (qsizetype lf; (lf = client.sentPart.indexOf('\n')) >= 0;) {
            QByteArray sent = client.sentPart.left(lf);
            client.sentPart.remove(0, lf + 1);
            if (sent.endsWith('\r'))
                sent.chop(1);
            client.asked.push_back(queriesOf(sent));
        }
        client.socket->deliver(bytes);
    }

    void connectClient(Client& client) {
        checkReplies(client);
        client = Client{};
        client.socket = new MemorySocket;
        client.session = new ScpiSession(
            link(), controller_.meter(), [this] { controller_.automation().enterSafeState(); },
            client.socket);
    }

    void passTime(qint64 ms) {
        now_ += ms;
        supply_.timePassed(now_);
        link().line().checkTime();
    }

    // Once the supply answers everything on time, every session gets the
    // line back.
    void drain() {
        for (int i = 0; i < DrainSteps && !idle(); ++i) {
            passTime(DrainStepMs);
            if (i % (PollingCycle::IntervalMs / DrainStepMs) == 0 && link().polling().isPolling())
                link().polling().SysTickTimer_Timer();
            while (!supply_.idle())
                supply_.answer(-1);
            checkReplies();
            checkBounds();
        }
        for (const Client& client : clients_)
            if (client.session && client.session->fill().waiting)
                violated("no session left waiting once the supply answers",
                         QStringLiteral("%1 commands pending").arg(client.session->fill().pending));
    }

    bool idle() const {
        for (const Client& client : clients_)
            if (client.session && client.session->fill().waiting)
                return false;
        return supply_.idle();
    }

    void written(const QByteArray& bytes) {
        if (!inVocabulary(bytes, link().rating().limits()))
            violated("every line written is in the supply's vocabulary",
                     QString::fromLatin1(bytes.toPercentEncoding(" :?*+")));
        if (link().line().state() == LineArbiter::State::ClientReply)
            violated("nothing written between a client's query and its reply",
                     QString::fromLatin1(bytes));
        supply_.heard(bytes, now_);
    }

    void checkReplies() {
        for (Client& client : clients_)
            checkReplies(client);
    }

    // Each reply line answers the oldest line sent whose queries it fits;
    // the lines before it had every query fail.
    void checkReplies(Client& client) {
        if (!client.socket)
            return;
        client.replyPart += client.socket->takeWritten();
        for (qsizetype lf; (lf = client.replyPart.indexOf('\n')) >= 0;) {
            const QString reply = QString::fromLatin1(client.replyPart.left(lf));
            client.replyPart.remove(0, lf + 1);
            const QStringList items = reply.split(u';');
            while (!client.asked.empty() && !answersInOrder(items, client.asked.front()))
                client.asked.pop_front();
            if (client.asked.empty())
                violated("every reply answers a line its client sent", reply);
            client.asked.pop_front();
        }
    }

    void checkBounds() {
        for (const Client& client : clients_) {
            if (!client.session || client.socket->state() != QAbstractSocket::ConnectedState)
                continue;
            const ScpiSession::Fill fill = client.session->fill();
            if (fill.inbox > ScpiSession::MaxLine || fill.pending > ScpiSession::MaxPending ||
                fill.errors > ScpiSession::MaxErrors ||
                client.socket->bytesToWrite() > ScpiSession::MaxUnread)
                violated("a session's buffers within their bounds",
                         QStringLiteral("line %1, commands %2, errors %3, unread %4")
                             .arg(fill.inbox)
                             .arg(fill.pending)
                             .arg(fill.errors)
                             .arg(client.socket->bytesToWrite()));
        }
        LineArbiter& line = link().line();
        const qsizetype undecoded = link().decoder().pending().size();
        // A waiting polling tick is held beside the panel's commands.
        if (line.clientsWaiting() > LineArbiter::MaxClientWaiting ||
            line.panelHeld() > LineArbiter::MaxHeld + 1 || undecoded > ReplyDecoder::MaxBuffer)
            violated("the line's queues within their bounds",
                     QStringLiteral("clients %1, held %2, undecoded %3")
                         .arg(line.clientsWaiting())
                         .arg(line.panelHeld())
                         .arg(undecoded));
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
    int yields_ = 0;
    ScriptedSerialControl* comm_;
    RunController controller_;
    qint64 now_ = 0;
    Supply supply_;
    Client clients_[Clients];
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static int argc = 1;
    static char name[] = "fuzz_scpi_sessions";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bench(data, size).run();
    return 0;
}
