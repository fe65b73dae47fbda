#pragma once

#include "SupplyModel.h"

#include <QObject>
#include <QVariant>

#include <functional>

class LineArbiter;
class ReplyDecoder;
class TrafficLog;

// What a script client asks of the supply, turned into requests of the line
// arbiter, and their replies turned into readings: read by the decoder's own
// forms, taken into the supply model and shown on the panel as a polled
// reading is (a reported mode or channel selects it there).
//
// A client can only name a quantity to read or run one of the operator's
// commands: it never puts a text of its own on the line.
class ClientQueue : public QObject {
    Q_OBJECT
public:
    struct Result {
        enum class Status { Done, PortClosed, NoReply };
        Status status = Status::Done;
        // The reading for a query: a double, OutputState, TrackingMode, int
        // or QString as the supply model holds it.
        QVariant value;
    };
    using Done = std::function<void(const Result&)>;

    ClientQueue(LineArbiter& line, ReplyDecoder& decoder, TrafficLog& log, SupplyModel& model,
                QObject* parent = nullptr);

    // Reads a quantity from the supply. `done` runs once, unless `owner` is
    // gone by then; false (and `done` never runs) when the queue is full.
    bool read(QObject* owner, Quantity quantity, Done done);
    // Runs `command` (one of the operator's commands) when its turn comes.
    bool run(QObject* owner, std::function<void()> command, Done done);

    // A client's query is on the line and its reply not yet in.
    bool awaitsReply() const;
    int waiting() const;

private:
    // The reading a reply stands for, taken into the model and the panel.
    std::optional<QVariant> reading(Quantity quantity, const QString& reply);

    LineArbiter& line_;
    ReplyDecoder& decoder_;
    TrafficLog& log_;
    SupplyModel& model_;
};
