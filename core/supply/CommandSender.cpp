#include "CommandSender.h"

#include "LinkState.h"
#include "Notices.h"
#include "serial/SerialControl.h"
#include "serial/TrafficLog.h"

#include <utility>

CommandSender::CommandSender(LinkState& state, SerialControl& comm, TrafficLog& log,
                             Notices& notices, QObject* parent)
    : QObject(parent), state_(state), comm_(comm), log_(log), notices_(notices) {}

bool CommandSender::write(const QString& text) {
    comm_.setInputMode(0);
    return comm_.Output(text);
}

bool CommandSender::sendCommand(const QString& command, Echo echo, std::optional<PollingStep> leave,
                                Reply reply) {
    if (!comm_.PortOpen()) {
        emit notices_.message(Notices::translated(Notices::PortClosed));
        return false;
    }
    const Deferred sending{command, echo, leave, reply};
    if (reserved_) {
        deferred_.append(sending);
        return true;
    }
    if (!write(command))
        return false;
    writeCommand(sending);
    return true;
}

void CommandSender::writeCommand(const Deferred& command) {
    if (command.echo == Echo::Logged)
        log_.appendCommandLine(command.command);
    if (command.leave)
        state_.step = *command.leave;
    if (command.reply == Reply::Awaited) {
        replyAwaited_.start();
        awaitedByPolling_ = false;
    }
}

bool CommandSender::isPortOpen() const {
    return comm_.PortOpen();
}

bool CommandSender::sendQuery(const QString& query) {
    if (!comm_.PortOpen() || !write(query))
        return false;
    log_.appendPollingLine(query);
    replyAwaited_.start();
    awaitedByPolling_ = true;
    return true;
}

void CommandSender::advanceStep() {
    state_.step = nextStep(state_.step);
}

bool CommandSender::sendClientQuery(const QString& query) {
    if (!comm_.PortOpen() || !write(query))
        return false;
    log_.appendCommandLine(query);
    reserved_ = true;
    return true;
}

void CommandSender::release() {
    if (!reserved_)
        return;
    reserved_ = false;
    // The operator's commands go out in the order they were given; one the
    // line refuses has closed the port, and the rest are dropped with it.
    const QList<Deferred> waiting = std::exchange(deferred_, {});
    for (const Deferred& command : waiting) {
        if (!comm_.PortOpen() || !write(command.command))
            break;
        writeCommand(command);
    }
    emit lineFree();
}

void CommandSender::hold(bool held) {
    held_ = held;
    if (!held)
        emit lineFree();
}

std::optional<qint64> CommandSender::sinceReplyAwaited() const {
    if (!replyAwaited_.isValid())
        return std::nullopt;
    return replyAwaited_.elapsed();
}
