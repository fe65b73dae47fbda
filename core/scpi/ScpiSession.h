#pragma once

#include "ScpiParser.h"
#include "ScpiWatchdog.h"
#include "supply/SupplyModel.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>

#include <deque>
#include <functional>

class EnergyMeter;
class QTcpSocket;
class SupplyLink;

// One script client on one connection: reads its lines, runs their commands
// one at a time in order (a command that goes to the supply waits for the
// line, and the commands after it wait for that one), answers each line's
// queries on one line, and keeps the client's error queue. Everything the
// client sends is bounded: a line longer than MaxLine closes the connection,
// commands beyond MaxPending are dropped with a queue overflow, and a client
// that does not read its replies is disconnected.
class ScpiSession : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxLine = 1024;
    static constexpr int MaxPending = 256;
    static constexpr int MaxErrors = 16;
    static constexpr qint64 MaxUnread = 64 * 1024;

    // Takes the socket over; the session deletes itself when it closes.
    // `safeState` switches the output off when the client's watchdog fires.
    ScpiSession(SupplyLink& link, EnergyMeter& meter, std::function<void()> safeState,
                QTcpSocket* socket, QObject* parent = nullptr);

    // How full the bounded buffers are, and whether a command waits for the
    // line: what a test checks the bounds and the progress against.
    struct Fill {
        qsizetype inbox = 0;
        qsizetype pending = 0;
        qsizetype errors = 0;
        bool waiting = false;
    };
    Fill fill() const {
        return {inbox_.size(), qsizetype(pending_.size()), qsizetype(errors_.size()), waiting_};
    }

private:
    struct Pending {
        Scpi::Parsed parsed;
        bool endsLine;
    };

    void readLines();
    void runPending();
    // Runs one command; one that goes to the supply leaves the session
    // waiting for it.
    void run(const Scpi::Command& command);
    // The port open, a request about to be queued: false (and the error
    // given) when the port is closed.
    bool beginWaiting();
    // A request the queue refused: the client gets its overflow error.
    void endWaitingUnless(bool queued);
    void read(Quantity quantity);
    // A fresh voltage and a fresh current, asked for back to back, and their
    // product.
    void measurePower();
    void setNumber(int setpoint, const QString& argument);
    // Runs one of the operator's commands when the line is free; `sent`
    // tells whether it went out.
    void command(std::function<bool()> send);
    void fetch(Quantity quantity);
    void setWatchdog(const QString& argument);
    void answer(const QString& text);
    void pushError(int code);
    void resumed();
    void endLine();
    void drop();

    SupplyLink& link_;
    EnergyMeter& meter_;
    QTcpSocket* socket_;
    ScpiWatchdog watchdog_;
    QByteArray inbox_;
    std::deque<Pending> pending_;
    std::deque<int> errors_;
    QStringList answers_;
    bool waiting_ = false;
    bool running_ = false;
};
