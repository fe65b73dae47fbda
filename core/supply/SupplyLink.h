#pragma once

#include "ClientQueue.h"
#include "EventYield.h"
#include "IdentityQueries.h"
#include "LineArbiter.h"
#include "LinkState.h"
#include "Notices.h"
#include "PollingCycle.h"
#include "PortSession.h"
#include "RatingLimits.h"
#include "ReadingHistory.h"
#include "ReplyDecoder.h"
#include "SetpointCommands.h"
#include "SupplyModel.h"
#include "SupplySwitches.h"
#include "serial/SerialControl.h"
#include "serial/TrafficLog.h"

#include <QObject>

#include <memory>

// One supply on one serial control: the port session, the polling cycle,
// the reply decoder, the operator's commands and the limits, with the model
// of what was read, its history and the traffic record. A front end shows these and calls
// them; nothing here knows a widget.
class SupplyLink : public QObject {
    Q_OBJECT
public:
    explicit SupplyLink(std::unique_ptr<SerialControl> comm, QObject* parent = nullptr);
    ~SupplyLink() override;

    SerialControl& MSComm() { return *comm_; }
    const SerialControl& MSComm() const { return *comm_; }
    SupplyModel& model() { return model_; }
    // Every reading and link event of the run, up to a day per quantity.
    const ReadingHistory& history() const { return history_; }
    TrafficLog& trafficLog() { return log_; }
    Notices& notices() { return notices_; }
    EventYield& eventYield() { return yield_; }
    LinkState& state() { return state_; }
    PortSession& portSession() { return session_; }
    PollingCycle& polling() { return polling_; }
    ReplyDecoder& decoder() { return decoder_; }
    RatingLimits& rating() { return rating_; }
    SetpointCommands& setpoints() { return setpoints_; }
    SupplySwitches& switches() { return switches_; }
    IdentityQueries& identity() { return identity_; }
    // Script clients' requests, beside polling and the operator.
    ClientQueue& clients() { return clients_; }
    // The one owner of the line: who may send, and whose a reply is.
    LineArbiter& line() { return line_; }

private:
    std::unique_ptr<SerialControl> comm_;
    LinkState state_;
    SupplyModel model_;
    ReadingHistory history_;
    TrafficLog log_;
    Notices notices_;
    EventYield yield_;
    LineArbiter line_;
    PortSession session_;
    RatingLimits rating_;
    SupplySwitches switches_;
    ReplyDecoder decoder_;
    PollingCycle polling_;
    SetpointCommands setpoints_;
    IdentityQueries identity_;
    ClientQueue clients_;
};
