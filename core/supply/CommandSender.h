#pragma once

#include <QString>

class Notices;
class SerialControl;
class TrafficLog;

// The send sequence every sender performs: port check, text input mode, one
// write, the log line.
class CommandSender {
public:
    enum class Echo { Logged, Silent };

    CommandSender(SerialControl& comm, TrafficLog& log, Notices& notices);

    // An operator command. With the port closed, the port-closed message is
    // shown and nothing is sent. True when the command was written; a write
    // the line refused has closed the port (the window shows that).
    bool sendCommand(const QString& command, Echo echo);
    // For a sender that reports a closed port itself.
    bool isPortOpen() const;

    // A polling query: written and logged with a lone LF. False, without a
    // message, when the port is closed or the write was refused.
    bool sendQuery(const QString& query);

private:
    bool write(const QString& text);

    SerialControl& comm_;
    TrafficLog& log_;
    Notices& notices_;
};
