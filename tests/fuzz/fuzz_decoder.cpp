// Arbitrary bytes from the line reach the reply decoder of one window through
// the scripted serial control, in arbitrary pieces, under arbitrary polling
// steps and option states. Besides what the sanitizers catch, every input is
// held to what the panel promises about an untrusted line:
//   - the reply buffer never holds more than ReplyDecoder::MaxBuffer;
//   - a read-out shows its starting text or a number's plain form
//     (DecimalForm.h), never anything else a reply might carry;
//   - the only writes are the mode and channel commands of an option that a
//     mode or channel reply has just selected, and the polling queries of
//     the ticks;
//   - yields nest no deeper than EventYield::MaxDepth, and with them the
//     receive handling;
//   - the RX and TX counters grow by exactly the bytes received and written;
//   - the log shows no control character but line feed and tab.
//
// Input: HeaderSize control bytes, then the payload (the received bytes).
//   [0] starting step: an index into StartSteps
//   [1] bits 0-1 mode option selected (3 counts as 0), bit 2 channel 2
//       selected, bits 3-4 the mode the limits were last computed for, bit 5
//       an identity query pending (the next tick is skipped), bit 6 the
//       received count just below the log-emptying threshold, bit 7 rating
//       lists chosen
//   [2] bits 0-1 what a yield does (YieldAction), bit 2 a polling tick after
//       every piece, bits 3-6 how many times the payload arrives, less one,
//       bit 7 the reply before the last query was given up for lost (its
//       late line is due)
//   [3] largest piece, 0 for the whole payload in one piece
//   [4] seed of the piece sizes
//   [5] low nibble: the polling query sent last (modulo 9); high nibble: the
//       rating list entries when bit 7 of [1] is set
//   [6] bit i set: pieces i, i + 8, ... arrive unannounced, as bytes do
//       that wait in the port while a tick runs before their receive event;
//       the next announced piece or tick takes them

#include "DecimalForm.h"
#include "FuzzInput.h"
#include "protocol/Commands.h"
#include "support/PanelFixture.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QToolButton>

#include <algorithm>
#include <cstdint>

namespace {

// The steps the program uses, and some it never should, to see that the
// decoder shrugs them off.
constexpr qint16 StartSteps[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,   10,     11,
                                 12, 13, 14, 15, 16, 17, 18, -1, 19, 100, -32768, 32767};
constexpr std::size_t StartStepCount = sizeof StartSteps / sizeof StartSteps[0];
constexpr std::size_t HeaderSize = 7;
// A tick at every yield of a long exponent would only repeat itself; this
// many ticks per input show what ticks can do.
constexpr int MaxTicks = 64;
constexpr qint64 BelowEmptyingCount = TrafficLog::EmptyFromByteCount - 16;

enum class YieldAction { Nothing, DeliverNext, Tick, Alternate };

// The polling step whose query the text is, 0 for none.
qint16 stepOf(const QString& query) {
    for (int step = 1; step <= int(PollingStep::Channel); ++step)
        if (Commands::pollingQuery(PollingStep(step)) == query)
            return step;
    return 0;
}

class Harness {
public:
    Harness();
    void run(const std::uint8_t* data, std::size_t size);

private:
    // The decoder and the polling cycle keep a little state of their own: a
    // reply outstanding, a late line to drop, a tick held back for a reply.
    // Their own handlers bring it to one known point before every input: a
    // line arrives, then a tick sends a query.
    void settleHiddenState();
    void reset(const std::uint8_t* header);
    void splitPayload(const std::uint8_t* header, const QByteArray& payload);
    void deliver(const QByteArray& piece);
    void deliverNext();
    void deliverUnannounced(const QByteArray& piece);
    void countDropped(const QByteArray& piece);
    void tick();
    void onYield();
    void checkWrite(const QByteArray& bytes) const;
    void checkState() const;
    void checkAfterInput(qsizetype received);

    PanelFixture panel_;
    const Controls& ui_;
    QRadioButton* modes_[3];
    QRadioButton* channels_[2];
    QLabel* readOuts_[6];
    QString startReadOuts_[6];
    const qint16 modeStep_ = stepOf(Commands::ModeQuery);
    const qint16 channelStep_ = stepOf(Commands::ChannelQuery);

    QList<QByteArray> pieces_;
    qsizetype next_ = 0;
    YieldAction yieldAction_ = YieldAction::Nothing;
    int yields_ = 0;
    int ticks_ = 0;
    int inTick_ = 0;
    int nesting_ = 0;
    qint64 rxCountAtStart_ = 0;
    std::uint8_t unannounced_ = 0;
    qint64 dropped_ = 0;
};

Harness::Harness()
    : ui_(panel_.window->controls()), modes_{ui_.INDcmd, ui_.PARcmd, ui_.SERcmd},
      channels_{ui_.OP1, ui_.Op2}, readOuts_{ui_.ReadVolLab, ui_.ReadCurrentLab, ui_.CVLab,
                                             ui_.CCLab,      ui_.OVPLab,         ui_.OCPLab} {
    panel_.open();
    if (!panel_.comm->PortOpen())
        violated("the scripted port opens", QStringLiteral("COM3"));
    for (int i = 0; i < 6; ++i)
        startReadOuts_[i] = readOuts_[i]->text();
    panel_.comm->onWrite = [this](const QByteArray& bytes) { checkWrite(bytes); };
    // No processEvents: the harness itself plays the events that could
    // arrive during a yield.
    panel_.window->eventYield().replace([this] { onYield(); });
}

void Harness::settleHiddenState() {
    LinkState& state = panel_.link.state();
    panel_.window->MSComm().setInBufferCount(0);
    panel_.link.decoder().discardUndecoded();
    state.skipNextTick = false;
    state.query = Commands::pollingQuery(PollingStep::MeasuredVoltage);
    yieldAction_ = YieldAction::Nothing;
    ticks_ = 0;
    panel_.comm->receive("\n");
    tick();
}

void Harness::reset(const std::uint8_t* header) {
    // Nothing runs the event loop, so what the widgets posted is sent here.
    QCoreApplication::sendPostedEvents();
    settleHiddenState();
    LinkState& state = panel_.link.state();
    const std::uint8_t options = header[1];
    const qint16 mode = (options & 3) == 3 ? 0 : options & 3;
    const int channel = (options >> 2) & 1;
    const qint16 modeBack = ((options >> 3) & 3) == 3 ? 0 : (options >> 3) & 3;

    {
        // Selected as the handlers leave them; what they send is no part of
        // the input.
        panel_.comm->onWrite = nullptr;
        SupplySwitches& switches = panel_.link.switches();
        // The limits were last recomputed for modeBack: a report of it,
        // selected already, recomputes them and sends nothing.
        switches.selectMode(TrackingMode(modeBack));
        state.step = PollingStep::Mode;
        panel_.comm->receive(QByteArray::number(modeBack) + "\r\n");
        switches.selectMode(TrackingMode(mode));
        switches.selectChannel(channel + 1);
        switches.showOutput(OutputState::Off);
        panel_.comm->onWrite = [this](const QByteArray& bytes) { checkWrite(bytes); };
    }
    panel_.link.decoder().discardUndecoded();
    state.step = PollingStep(StartSteps[header[0] % StartStepCount]);
    state.query = Commands::pollingQuery(PollingStep(1 + (header[5] & 15) % 9));
    state.skipNextTick = (options & 0x20) != 0;

    if (options & 0x80) {
        const int entry = header[5] >> 4;
        ui_.PowerTypeCombVol->setCurrentIndex(entry % ui_.PowerTypeCombVol->count());
        ui_.PowerTypeCombCur->setCurrentIndex(entry % ui_.PowerTypeCombCur->count());
    } else {
        for (QComboBox* list : {ui_.PowerTypeCombVol, ui_.PowerTypeCombCur}) {
            list->setCurrentIndex(-1);
            list->clearEditText();
        }
    }
    for (int i = 0; i < 6; ++i)
        readOuts_[i]->setText(startReadOuts_[i]);

    TrafficLog& log = panel_.window->trafficLog();
    log.empty();
    log.resetCounters();
    log.countReceived((options & 0x40) ? BelowEmptyingCount : 0);
    rxCountAtStart_ = log.rxCount();
    // Each input starts on a line that owes nobody a reply.
    panel_.link.line().portClosed();
    panel_.comm->writes.clear();

    yieldAction_ = static_cast<YieldAction>(header[2] & 3);
    unannounced_ = header[6];
    dropped_ = 0;
    yields_ = 0;
    ticks_ = 0;
}

void Harness::splitPayload(const std::uint8_t* header, const QByteArray& payload) {
    pieces_.clear();
    next_ = 0;
    const int largest = header[3];
    // xorshift32: any seed but zero gives a long sequence.
    std::uint32_t random = 0x9e3779b9u ^ header[4];
    qsizetype at = 0;
    do {
        random ^= random << 13;
        random ^= random >> 17;
        random ^= random << 5;
        const qsizetype size = largest == 0 ? payload.size() : 1 + random % largest;
        pieces_.append(payload.mid(at, size));
        at += size;
    } while (at < payload.size());
}

void Harness::run(const std::uint8_t* data, std::size_t size) {
    if (size < HeaderSize)
        return;
    reset(data);
    const int repetitions = 1 + ((data[2] >> 3) & 15);
    const QByteArray payload =
        QByteArray(reinterpret_cast<const char*>(data + HeaderSize), qsizetype(size - HeaderSize))
            .repeated(repetitions);
    splitPayload(data, payload);
    const bool tickAfterPiece = (data[2] & 4) != 0;
    while (next_ < pieces_.size()) {
        deliverNext();
        if (tickAfterPiece)
            tick();
    }
    checkAfterInput(payload.size());
}

void Harness::checkAfterInput(qsizetype received) {
    const TrafficLog& log = panel_.window->trafficLog();
    // Bytes still waiting unannounced are not received yet.
    const qint64 expected = received - dropped_ - panel_.comm->pendingBytes();
    if (log.rxCount() - rxCountAtStart_ != expected)
        violated("RX counter", QString::number(log.rxCount() - rxCountAtStart_) +
                                   QStringLiteral(" for ") + QString::number(expected));
    qsizetype written = 0;
    for (const QByteArray& bytes : panel_.comm->writes)
        written += bytes.size();
    if (log.txCount() != written)
        violated("TX counter", QString::number(log.txCount()) + QStringLiteral(" for ") +
                                   QString::number(written));
    // The log hands its lines to the widget on a timer; this is that timer's
    // turn. Read once per input: the whole log is long.
    panel_.window->logView().show();
    const QString shown = ui_.TxtReceive->toPlainText();
    for (QChar c : shown) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\n' && u != u'\t') || (u >= 0x7f && u < 0xa0))
            violated("log shows a control character", QString::number(u, 16));
    }
}

void Harness::deliver(const QByteArray& piece) {
    // The top-level delivery and one more for each nested yield.
    if (++nesting_ > EventYield::MaxDepth + 1)
        violated("receive handling nests without bound", QString::number(nesting_));
    countDropped(piece);
    panel_.comm->receive(piece);
    --nesting_;
    checkState();
}

void Harness::deliverNext() {
    if (next_ >= pieces_.size())
        return;
    const qsizetype index = next_++;
    if (unannounced_ & (1u << (index % 8)))
        deliverUnannounced(pieces_.at(index));
    else
        deliver(pieces_.at(index));
}

void Harness::countDropped(const QByteArray& piece) {
    // The control keeps only its newest MaxPending bytes; the program never
    // receives the others.
    dropped_ +=
        std::max<qint64>(0, panel_.comm->pendingBytes() + piece.size() - SerialControl::MaxPending);
}

void Harness::deliverUnannounced(const QByteArray& piece) {
    SerialControl& comm = panel_.window->MSComm();
    countDropped(piece);
    // No receive threshold, no receive event.
    const int threshold = comm.RThreshold();
    comm.setRThreshold(0);
    panel_.comm->receive(piece);
    comm.setRThreshold(threshold);
    checkState();
}

void Harness::tick() {
    if (ticks_ >= MaxTicks)
        return;
    ++ticks_;
    ++inTick_;
    panel_.window->polling().SysTickTimer_Timer();
    --inTick_;
    checkState();
}

void Harness::onYield() {
    const int depth = panel_.window->eventYield().depth();
    if (depth > EventYield::MaxDepth)
        violated("yield depth", QString::number(depth));
    ++yields_;
    switch (yieldAction_) {
    case YieldAction::Nothing:
        break;
    case YieldAction::DeliverNext:
        deliverNext();
        break;
    case YieldAction::Tick:
        tick();
        break;
    case YieldAction::Alternate:
        if (yields_ % 2 != 0)
            deliverNext();
        else
            tick();
        break;
    }
}

void Harness::checkWrite(const QByteArray& bytes) const {
    const QString text = QString::fromLatin1(bytes);
    const qint16 step = qint16(panel_.link.state().step);
    for (int m = 0; m < 3; ++m) {
        if (text != Commands::withArgument(Commands::ModePrefix, QString::number(m)))
            continue;
        if (step != modeStep_ || !modes_[m]->isChecked())
            violated("mode command without a mode reply selecting it",
                     text + QStringLiteral(" at step ") + QString::number(step));
        return;
    }
    for (int c = 0; c < 2; ++c) {
        if (text != Commands::withArgument(Commands::ChannelPrefix, QString::number(c + 1)))
            continue;
        if (step != channelStep_ || !channels_[c]->isChecked())
            violated("channel command without a channel reply selecting it",
                     text + QStringLiteral(" at step ") + QString::number(step));
        return;
    }
    if (inTick_ > 0 && text == panel_.link.state().query && stepOf(text) != 0)
        return;
    violated("unexpected write", text + QStringLiteral(" at step ") + QString::number(step));
}

void Harness::checkState() const {
    const QString& pending = panel_.link.decoder().pending();
    if (pending.size() > ReplyDecoder::MaxBuffer)
        violated("reply buffer bound", QString::number(pending.size()));
    for (int i = 0; i < 6; ++i) {
        const QString text = readOuts_[i]->text();
        if (text != startReadOuts_[i] && !isPlainDecimalForm(text))
            violated("read-out form", readOuts_[i]->objectName() + QStringLiteral(": ") + text);
    }
    if (panel_.window->trafficLog().text().size() > TrafficLog::MaxChars)
        violated("log bound", QString::number(panel_.window->trafficLog().text().size()));
    if (!panel_.comm->PortOpen())
        violated("the port stays open", QString());
}

Harness* harness = nullptr;

} // namespace

// Fontconfig keeps what it loads for a new glyph in caches that nothing
// frees; the first time an input shows such a glyph is not a leak of ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_decoder";
    static char* argv[] = {name, nullptr};
    // Both live until the process ends: libFuzzer exits from anywhere.
    new QApplication(argc, argv);
    harness = new Harness;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    harness->run(data, size);
    return 0;
}
