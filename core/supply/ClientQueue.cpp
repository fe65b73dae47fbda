#include "ClientQueue.h"

#include "LineArbiter.h"
#include "ReplyDecoder.h"
#include "ReplyForms.h"
#include "protocol/Commands.h"
#include "serial/TrafficLog.h"

#include <QDateTime>
#include <QPointer>

#include <algorithm>
#include <utility>

namespace {

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

using Status = ClientQueue::Result::Status;

Status statusOf(LineArbiter::ClientOutcome outcome) {
    switch (outcome) {
    case LineArbiter::ClientOutcome::Answered:
        return Status::Done;
    case LineArbiter::ClientOutcome::Failed:
        return Status::PortClosed;
    case LineArbiter::ClientOutcome::NoReply:
        break;
    }
    return Status::NoReply;
}

// A reply that stopped at its CR with printable text before it. A garbled
// line that merely holds a CR somewhere is no answer: taken up to its CR it
// would give the client an empty or damaged text as if the supply had sent
// it.
bool endsAtItsCr(const QString& reply) {
    const qsizetype cr = reply.indexOf(u'\r');
    if (cr <= 0 || cr != reply.size() - 1)
        return false;
    return std::all_of(reply.begin(), reply.begin() + cr,
                       [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7f; });
}

} // namespace

ClientQueue::ClientQueue(LineArbiter& line, ReplyDecoder& decoder, TrafficLog& log,
                         SupplyModel& model, QObject* parent)
    : QObject(parent), line_(line), decoder_(decoder), log_(log), model_(model) {}

bool ClientQueue::read(QObject* owner, Quantity quantity, Done done) {
    QPointer<QObject> asker(owner);
    return line_.submitQuery(
        owner, queryFor(quantity),
        [this, asker, quantity, done = std::move(done)](LineArbiter::ClientOutcome outcome,
                                                        const QString& reply) {
            Result result{statusOf(outcome), {}};
            // An identity reply cut off by the time-out is whole when it
            // ends at its CR; a reading taken up counts even when its asker
            // is gone.
            const bool identityCut =
                outcome == LineArbiter::ClientOutcome::NoReply &&
                (quantity == Quantity::Identification || quantity == Quantity::Version) &&
                endsAtItsCr(reply);
            if (outcome == LineArbiter::ClientOutcome::Answered || identityCut) {
                if (!reply.isEmpty())
                    log_.appendReplyLine(reply);
                const std::optional<QVariant> value = reading(quantity, reply);
                result = value ? Result{Status::Done, *value} : Result{Status::NoReply, {}};
            }
            if (asker && done)
                done(result);
        });
}

bool ClientQueue::run(QObject* owner, std::function<void()> command, Done done) {
    QPointer<QObject> asker(owner);
    return line_.submitCommand(
        owner, std::move(command),
        [asker, done = std::move(done)](LineArbiter::ClientOutcome outcome, const QString&) {
            if (asker && done)
                done({statusOf(outcome), {}});
        });
}

bool ClientQueue::awaitsReply() const {
    return line_.state() == LineArbiter::State::ClientReply;
}

int ClientQueue::waiting() const {
    return line_.clientsWaiting();
}

std::optional<QVariant> ClientQueue::reading(Quantity quantity, const QString& reply) {
    const QDateTime now = QDateTime::currentDateTime();
    if (SupplyModel::isNumber(quantity)) {
        const std::optional<ReplyForms::NumberReading> number = ReplyForms::numberLine(reply);
        if (!number)
            return std::nullopt;
        model_.setNumber(quantity, number->value, now, number->shown);
        return number->value;
    }
    switch (quantity) {
    case Quantity::Output: {
        const std::optional<OutputState> state = ReplyForms::outputState(reply);
        if (!state)
            return std::nullopt;
        decoder_.takeOutput(*state);
        return QVariant::fromValue(*state);
    }
    case Quantity::Mode: {
        const std::optional<int> mode = ReplyForms::wholeNumber(reply, 0, 2);
        if (!mode)
            return std::nullopt;
        decoder_.takeMode(TrackingMode(*mode));
        return QVariant::fromValue(TrackingMode(*mode));
    }
    case Quantity::Channel: {
        const std::optional<int> channel = ReplyForms::wholeNumber(reply, 1, 2);
        if (!channel)
            return std::nullopt;
        decoder_.takeChannel(*channel);
        return *channel;
    }
    default: {
        const std::optional<QString> line = quantity == Quantity::Identification
                                                ? ReplyForms::identityLine(reply)
                                                : ReplyForms::versionLine(reply);
        if (!line)
            return std::nullopt;
        const QString text = ReplyForms::withoutLineEnds(*line);
        model_.setText(quantity, text, now);
        return text;
    }
    }
}
