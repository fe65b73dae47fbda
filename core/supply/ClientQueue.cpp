#include "ClientQueue.h"

#include "CommandSender.h"
#include "ReplyDecoder.h"
#include "protocol/Commands.h"
#include "serial/SerialControl.h"
#include "serial/TrafficLog.h"

#include <QDateTime>
#include <QRegularExpression>

#include <cmath>
#include <utility>

namespace {

// Text kept at most while a reply is gathered; a supply that streams text
// without a line end cannot grow the panel.
constexpr int MaxReply = 1024;

QString queryFor(Quantity quantity) {
    switch (quantity) {
    case Quantity::Version:
        return Commands::VersionQuery + Commands::End;
    case Quantity::Identification:
        return Commands::IdentityQuery + Commands::End;
    default:
        return Commands::pollingQuery(PollingStep(int(quantity) + 1));
    }
}

std::optional<int> digitIn(const QString& line, int low, int high) {
    const QString text = line.trimmed();
    if (text.size() != 1 || text[0] < QChar(u'0' + low) || text[0] > QChar(u'0' + high))
        return std::nullopt;
    return text[0].unicode() - u'0';
}

} // namespace

std::optional<double> numberReplyValue(const QString& line) {
    static const QRegularExpression form(
        QStringLiteral("^([+-])(A|[0-9]*)(\\.[0-9]*)?E([+-][0-9]{2})$"));
    const QRegularExpressionMatch match = form.match(line.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    QString whole = match.captured(2);
    if (whole == u'A')
        whole = QStringLiteral("10");
    const QString fraction = match.captured(3);
    if (whole.isEmpty() && fraction.size() < 2)
        return std::nullopt;
    // QString::toDouble reads the C locale's form whatever the system's
    // locale, and rounds the decimal value once.
    bool ok = false;
    const double value = (match.captured(1) + (whole.isEmpty() ? QStringLiteral("0") : whole) +
                          fraction + u'E' + match.captured(4))
                             .toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value == 0.0 ? 0.0 : value;
}

ClientQueue::ClientQueue(CommandSender& sender, SerialControl& comm, ReplyDecoder& decoder,
                         TrafficLog& log, SupplyModel& model, QObject* parent)
    : QObject(parent), sender_(sender), comm_(comm), decoder_(decoder), log_(log), model_(model),
      timeout_(this), retry_(this) {
    timeout_.setSingleShot(true);
    timeout_.setInterval(ReplyTimeoutMs);
    retry_.setSingleShot(true);
    connect(&timeout_, &QTimer::timeout, this, [this] {
        // A reply without its LF but with a CR is taken as it stands.
        if (reply_.contains(u'\r'))
            finish(Result::Status::Done);
        else
            finish(Result::Status::NoReply);
    });
    connect(&retry_, &QTimer::timeout, this, &ClientQueue::pump);
    connect(&sender_, &CommandSender::lineFree, this, &ClientQueue::pump);
    connect(&model_, &SupplyModel::linkEvent, this, [this](LinkEvent event) {
        if (event == LinkEvent::PortClosed || event == LinkEvent::PortLost)
            failAll();
    });
}

bool ClientQueue::read(QObject* owner, Quantity quantity, Done done) {
    return enqueue({owner, quantity, {}, std::move(done)});
}

bool ClientQueue::run(QObject* owner, std::function<void()> command, Done done) {
    return enqueue({owner, std::nullopt, std::move(command), std::move(done)});
}

bool ClientQueue::enqueue(Request request) {
    if (waiting() >= MaxWaiting)
        return false;
    if (!comm_.PortOpen()) {
        deliver(request, {Result::Status::PortClosed, {}});
        return true;
    }
    waiting_.push_back(std::move(request));
    pump();
    return true;
}

qint64 ClientQueue::replyWaitLeft() const {
    const std::optional<qint64> since = sender_.sinceReplyAwaited();
    if (!since || *since >= ReplyWaitMs)
        return 0;
    // A polling reply that came in frees the line at once; the operator's
    // identity replies are given the whole wait.
    if (sender_.awaitedByPolling() && !decoder_.replyOutstanding())
        return 0;
    return ReplyWaitMs - *since;
}

void ClientQueue::pump() {
    if (pumping_)
        return;
    pumping_ = true;
    while (!inFlight_ && !waiting_.empty()) {
        if (!comm_.PortOpen()) {
            failAll();
            break;
        }
        if (sender_.reserved() || sender_.held())
            break;
        if (const qint64 left = replyWaitLeft(); left > 0) {
            retry_.start(int(left));
            break;
        }
        Request request = std::move(waiting_.front());
        waiting_.pop_front();
        if (!request.owner)
            continue;
        if (request.command) {
            request.command();
            deliver(request, {});
            continue;
        }
        reply_.clear();
        if (!sender_.sendClientQuery(queryFor(*request.quantity))) {
            deliver(request, {Result::Status::PortClosed, {}});
            continue;
        }
        inFlight_ = std::move(request);
        timeout_.start();
    }
    pumping_ = false;
}

void ClientQueue::MSComm_OnComm() {
    if (comm_.CommEvent() != SerialControl::comEvReceive || !inFlight_)
        return;
    const QString input = comm_.Input();
    log_.countReceived(input.size());
    reply_ += input;
    if (reply_.size() > MaxReply)
        reply_.remove(0, reply_.size() - MaxReply);
    if (reply_.contains(u'\n'))
        finish(Result::Status::Done);
}

void ClientQueue::finish(Result::Status status) {
    timeout_.stop();
    if (!inFlight_)
        return;
    const Request request = std::move(*inFlight_);
    inFlight_.reset();
    Result result{status, {}};
    if (status == Result::Status::Done) {
        // One reply line; anything after its LF answered nothing asked.
        const qsizetype lf = reply_.indexOf(u'\n');
        const QString line = lf < 0 ? reply_ : reply_.left(lf + 1);
        log_.appendReplyLine(line);
        const std::optional<QVariant> value = reading(*request.quantity, line);
        if (value)
            result.value = *value;
        else
            result.status = Result::Status::NoReply;
    } else if (status == Result::Status::NoReply) {
        // The reply may still come: the next complete line is not taken for
        // a polling reply.
        decoder_.queryWritten(true);
    }
    reply_.clear();
    sender_.release();
    deliver(request, result);
    pump();
}

void ClientQueue::failAll() {
    timeout_.stop();
    retry_.stop();
    std::deque<Request> failed = std::exchange(waiting_, {});
    if (inFlight_) {
        failed.push_front(std::move(*inFlight_));
        inFlight_.reset();
        reply_.clear();
        sender_.release();
    }
    for (const Request& request : failed)
        deliver(request, {Result::Status::PortClosed, {}});
}

void ClientQueue::deliver(const Request& request, const Result& result) {
    if (request.owner && request.done)
        request.done(result);
}

std::optional<QVariant> ClientQueue::reading(Quantity quantity, const QString& line) {
    const QDateTime now = QDateTime::currentDateTime();
    if (SupplyModel::isNumber(quantity)) {
        const std::optional<double> value = numberReplyValue(line);
        if (!value)
            return std::nullopt;
        model_.setNumber(quantity, *value, now);
        return *value;
    }
    switch (quantity) {
    case Quantity::Output: {
        const std::optional<int> digit = digitIn(line, 0, 1);
        if (!digit)
            return std::nullopt;
        const OutputState state = *digit == 1 ? OutputState::On : OutputState::Off;
        model_.setOutput(state, now);
        return QVariant::fromValue(state);
    }
    case Quantity::Mode: {
        const std::optional<int> digit = digitIn(line, 0, 2);
        if (!digit)
            return std::nullopt;
        model_.setMode(TrackingMode(*digit), now);
        return QVariant::fromValue(TrackingMode(*digit));
    }
    case Quantity::Channel: {
        const std::optional<int> digit = digitIn(line, 1, 2);
        if (!digit)
            return std::nullopt;
        model_.setChannel(*digit, now);
        return *digit;
    }
    default: {
        QString text = line;
        text.remove(u'\r');
        text.remove(u'\n');
        if (text.isEmpty())
            return std::nullopt;
        model_.setText(quantity, text, now);
        return text;
    }
    }
}
