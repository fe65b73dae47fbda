#include "CommandSender.h"

#include "Notices.h"
#include "serial/SerialControl.h"
#include "serial/TrafficLog.h"

CommandSender::CommandSender(SerialControl& comm, TrafficLog& log, Notices& notices)
    : comm_(comm), log_(log), notices_(notices) {}

bool CommandSender::write(const QString& text) {
    comm_.setInputMode(0);
    return comm_.Output(text);
}

bool CommandSender::sendCommand(const QString& command, Echo echo) {
    if (!comm_.PortOpen()) {
        emit notices_.message(Notices::translated(Notices::PortClosed));
        return false;
    }
    if (!write(command))
        return false;
    if (echo == Echo::Logged)
        log_.appendCommandLine(command);
    return true;
}

bool CommandSender::isPortOpen() const {
    return comm_.PortOpen();
}

bool CommandSender::sendQuery(const QString& query) {
    if (!comm_.PortOpen() || !write(query))
        return false;
    log_.appendPollingLine(query);
    return true;
}
