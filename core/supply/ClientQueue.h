#pragma once

#include "SupplyModel.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QVariant>

#include <deque>
#include <functional>
#include <optional>

class CommandSender;
class ReplyDecoder;
class SerialControl;
class TrafficLog;

// What a script client asks of the supply, one request at a time in arrival
// order. A request goes on the line only while no reply of the polling
// cycle or of the operator is awaited; a query's reply comes back to the
// request, never to the polling decoder. A value read this way is a reading
// of the supply model like any other.
//
// A client can only name a quantity to read or run one of the operator's
// commands: it never puts a text of its own on the line.
class ClientQueue : public QObject {
    Q_OBJECT
public:
    // Requests waiting at most, of all clients together.
    static constexpr int MaxWaiting = 64;
    // How long the supply gets to answer a client's query.
    static constexpr int ReplyTimeoutMs = 1000;
    // How long a reply that the polling cycle or the operator awaits keeps
    // the line before a client's request may go out.
    static constexpr int ReplyWaitMs = 500;

    struct Result {
        enum class Status { Done, PortClosed, NoReply };
        Status status = Status::Done;
        // The reading for a query: a double, OutputState, TrackingMode, int
        // or QString as the supply model holds it.
        QVariant value;
    };
    using Done = std::function<void(const Result&)>;

    ClientQueue(CommandSender& sender, SerialControl& comm, ReplyDecoder& decoder, TrafficLog& log,
                SupplyModel& model, QObject* parent = nullptr);

    // Reads a quantity from the supply. `done` runs once, unless `owner` is
    // gone by then; false (and `done` never runs) when the queue is full.
    bool read(QObject* owner, Quantity quantity, Done done);
    // Runs `command` (one of the operator's commands) when the line is free.
    bool run(QObject* owner, std::function<void()> command, Done done);

    // A client's query is on the line and its reply not yet in: received
    // text belongs to it.
    bool awaitsReply() const { return inFlight_.has_value(); }
    void MSComm_OnComm();
    // Starts the requests that may go now.
    void pump();

    int waiting() const { return int(waiting_.size()); }

private:
    struct Request {
        QPointer<QObject> owner;
        std::optional<Quantity> quantity;
        std::function<void()> command;
        Done done;
    };

    bool enqueue(Request request);
    // Milliseconds the line is still kept for an awaited reply.
    qint64 replyWaitLeft() const;
    void finish(Result::Status status);
    void failAll();
    void deliver(const Request& request, const Result& result);
    // The reading a reply line stands for, taken into the model.
    std::optional<QVariant> reading(Quantity quantity, const QString& line);

    CommandSender& sender_;
    SerialControl& comm_;
    ReplyDecoder& decoder_;
    TrafficLog& log_;
    SupplyModel& model_;
    std::deque<Request> waiting_;
    std::optional<Request> inFlight_;
    QString reply_;
    QTimer timeout_;
    QTimer retry_;
    bool pumping_ = false;
};

// The value of a number reply such as "+1.23456E+01" (a leading "A" in the
// mantissa stands for "10"), read once and correctly rounded; nothing for
// any other text.
std::optional<double> numberReplyValue(const QString& line);
