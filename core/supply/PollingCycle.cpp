#include "PollingCycle.h"

#include "EventYield.h"
#include "LineArbiter.h"
#include "LinkState.h"
#include "SupplyModel.h"
#include "protocol/Commands.h"
#include "serial/SerialControl.h"

PollingCycle::PollingCycle(LinkState& state, SerialControl& comm, LineArbiter& arbiter,
                           EventYield& yield, SupplyModel& model, QObject* parent)
    : QObject(parent), state_(state), comm_(comm), arbiter_(arbiter), yield_(yield), model_(model),
      SysTickTimer_(this) {
    SysTickTimer_.setObjectName(QStringLiteral("SysTickTimer"));
    SysTickTimer_.setInterval(IntervalMs);
    connect(&SysTickTimer_, &QTimer::timeout, this, &PollingCycle::SysTickTimer_Timer);
    // A tick that came while the line was another's runs as soon as the line
    // is free, so the cycle keeps its pace and its order.
    connect(&arbiter_, &LineArbiter::tickReady, this, [this] {
        if (isPolling())
            SysTickTimer_Timer();
    });
}

void PollingCycle::SysTickTimer_Timer() {
    // The tick after an identity query is skipped whole, so that its reply
    // can arrive while the step still names it.
    if (state_.skipNextTick) {
        state_.skipNextTick = false;
        return;
    }
    if (arbiter_.tickGate() == LineArbiter::TickGate::Go)
        arbiter_.runTick([this] { tick(); });
}

void PollingCycle::tick() {
    arbiter_.advanceStep();
    // A reply that arrives now is read under the new step; an operator
    // command run here may move the step before its query is chosen.
    yield_();

    const QString query = Commands::pollingQuery(state_.step);
    if (!query.isEmpty())
        state_.query = query;
    emit ticked(QDateTime::currentDateTime());

    if (comm_.PortOpen()) {
        // Whatever was not decoded by now answered an earlier query; read
        // under this step it would land in the wrong read-out.
        arbiter_.discardUndecoded();
        if (!arbiter_.sendQuery(state_.query))
            return;
    } else {
        toggle();
    }
    yield_();
}

void PollingCycle::toggle() {
    const bool on = !SysTickTimer_.isActive();
    if (on)
        SysTickTimer_.start();
    else
        SysTickTimer_.stop();
    emit pollingChanged(on);
    model_.reportLinkEvent(on ? LinkEvent::PollingStarted : LinkEvent::PollingStopped,
                           QDateTime::currentDateTime());
}
