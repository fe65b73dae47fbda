#pragma once

#include "protocol/Commands.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

#include <optional>

class Notices;
class SerialControl;
class TrafficLog;
struct LinkState;

// The one gate to the wire: the send sequence every sender performs (port
// check, text input mode, one write, the log line), and the one writer of
// the polling step, which each command leaves behind once it is written.
//
// A script client's query holds the line until its reply is in: meanwhile an
// operator command waits here and goes out, in order, when the line is free,
// so that no command is written between a client's query and its reply.
class CommandSender : public QObject {
    Q_OBJECT
public:
    enum class Echo { Logged, Silent };
    // Whether the supply answers the command: the line is then kept for the
    // reply a while, before a script's command may follow.
    enum class Reply { None, Awaited };

    CommandSender(LinkState& state, SerialControl& comm, TrafficLog& log, Notices& notices,
                  QObject* parent = nullptr);

    // An operator command. With the port closed, the port-closed message is
    // shown and nothing is sent. Once written, the polling step is `leave`
    // when one is given. True when the command was written or waits for a
    // client's reply; a write the line refused has closed the port (the
    // window shows that).
    bool sendCommand(const QString& command, Echo echo,
                     std::optional<PollingStep> leave = std::nullopt, Reply reply = Reply::None);
    // For a sender that reports a closed port itself.
    bool isPortOpen() const;

    // A polling query: written and logged with a lone LF. False, without a
    // message, when the port is closed or the write was refused.
    bool sendQuery(const QString& query);
    // The polling tick moves the cycle on by one step.
    void advanceStep();

    // A script client's query: written and logged as a command; the line is
    // the client's until release(). False when the port is closed or the
    // write was refused.
    bool sendClientQuery(const QString& query);
    void release();
    bool reserved() const { return reserved_; }

    // The polling tick holds the line while it runs, so that no script
    // command goes out between its step and its query.
    void hold(bool held);
    bool held() const { return held_; }

    // Milliseconds since the last command that awaits a reply was written,
    // and whether the polling cycle wrote it; nothing before the first.
    std::optional<qint64> sinceReplyAwaited() const;
    bool awaitedByPolling() const { return awaitedByPolling_; }

signals:
    // A client's reservation or the tick's hold ended.
    void lineFree();

private:
    struct Deferred {
        QString command;
        Echo echo;
        std::optional<PollingStep> leave;
        Reply reply;
    };

    bool write(const QString& text);
    void writeCommand(const Deferred& command);

    LinkState& state_;
    SerialControl& comm_;
    TrafficLog& log_;
    Notices& notices_;
    QList<Deferred> deferred_;
    QElapsedTimer replyAwaited_;
    bool awaitedByPolling_ = false;
    bool reserved_ = false;
    bool held_ = false;
};
