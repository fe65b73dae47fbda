#include "PollingCycle.h"

#include "CommandSender.h"
#include "EventYield.h"
#include "LinkState.h"
#include "ReplyDecoder.h"
#include "SupplyModel.h"
#include "protocol/Commands.h"
#include "serial/SerialControl.h"

PollingCycle::PollingCycle(LinkState& state, SerialControl& comm, CommandSender& sender,
                           ReplyDecoder& decoder, EventYield& yield, SupplyModel& model,
                           QObject* parent)
    : QObject(parent), state_(state), comm_(comm), sender_(sender), decoder_(decoder),
      yield_(yield), model_(model), SysTickTimer_(this) {
    SysTickTimer_.setObjectName(QStringLiteral("SysTickTimer"));
    SysTickTimer_.setInterval(IntervalMs);
    connect(&SysTickTimer_, &QTimer::timeout, this, &PollingCycle::SysTickTimer_Timer);
    // A tick that came while a script's query held the line runs as soon as
    // its reply is in, so the cycle keeps its pace and its order.
    connect(&sender_, &CommandSender::lineFree, this, [this] {
        if (tickWaiting_ && !sender_.reserved()) {
            tickWaiting_ = false;
            if (isPolling())
                SysTickTimer_Timer();
        }
    });
}

void PollingCycle::SysTickTimer_Timer() {
    // The tick after an identity query is skipped whole, so that its reply
    // can arrive while the step still names it.
    if (state_.skipNextTick) {
        state_.skipNextTick = false;
        return;
    }
    // A reply still outstanding gets one more interval before the next query
    // goes out: a late reply must arrive while its own step is current, not
    // be read as the next quantity. After that it is given up for lost.
    if (comm_.PortOpen() && decoder_.replyOutstanding() && !heldForReply_) {
        heldForReply_ = true;
        return;
    }
    if (sender_.reserved()) {
        tickWaiting_ = true;
        return;
    }
    heldForReply_ = false;
    sender_.hold(true);
    tick();
    sender_.hold(false);
}

void PollingCycle::tick() {
    sender_.advanceStep();
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
        decoder_.discardUndecoded();
        const bool givenUp = decoder_.replyOutstanding();
        if (!sender_.sendQuery(state_.query))
            return;
        // An empty query (step 18 before any other step ran) asks nothing.
        if (!state_.query.isEmpty())
            decoder_.queryWritten(givenUp);
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
