#include "CommandSender.h"

#include "app/MessageLine.h"
#include "serial/SerialControl.h"
#include "serial/TrafficLog.h"

CommandSender::CommandSender(SerialControl& comm, TrafficLog& log, MessageLine& message)
    : comm_(comm), log_(log), message_(message) {}

bool CommandSender::write(const QString& text) {
    comm_.setInputMode(0);
    return comm_.Output(text);
}

bool CommandSender::sendCommand(const QString& command, Echo echo) {
    if (!comm_.PortOpen()) {
        message_.show(MessageLine::PortClosed);
        return false;
    }
    if (!write(command))
        return false;
    if (echo == Echo::Logged)
        log_.appendCommandLine(command);
    return true;
}

bool CommandSender::sendQuery(const QString& query) {
    if (!comm_.PortOpen() || !write(query))
        return false;
    log_.appendPollingLine(query);
    return true;
}
