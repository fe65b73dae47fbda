#include "PollingCycle.h"

#include "CommandSender.h"
#include "Commands.h"
#include "ReplyDecoder.h"
#include "app/Controls.h"
#include "app/EventYield.h"
#include "app/PanelState.h"
#include "serial/SerialControl.h"

#include <QDateTime>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTimer>

PollingCycle::PollingCycle(PanelState& state, Controls& ui, SerialControl& comm,
                           CommandSender& sender, ReplyDecoder& decoder, EventYield& yield)
    : state_(state), ui_(ui), comm_(comm), sender_(sender), decoder_(decoder), yield_(yield) {}

void PollingCycle::SysTickTimer_Timer() {
    // The tick after an identity query is skipped whole, so that its reply
    // can arrive while the step still names it.
    if (state_.bReadVersion) {
        state_.bReadVersion = false;
        return;
    }
    // A reply still outstanding gets one more interval before the next query
    // goes out: a late reply must arrive while its own step is current, not
    // be read as the next quantity. After that it is given up for lost.
    if (comm_.PortOpen() && decoder_.replyOutstanding() && !heldForReply_) {
        heldForReply_ = true;
        return;
    }
    heldForReply_ = false;
    ++state_.myTimer;
    if (state_.myTimer > Commands::LastStep)
        state_.myTimer = Commands::FirstStep;
    yield_();

    const QString query = Commands::pollingQuery(state_.myTimer);
    if (!query.isEmpty())
        state_.myCmd = query;
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale;
    ui_.LblNewDate->setText(locale.toString(now.date(), QLocale::ShortFormat));
    ui_.LblNowTime->setText(locale.toString(now.time(), QLocale::LongFormat));

    if (comm_.PortOpen()) {
        // Whatever was not decoded by now answered an earlier query; read
        // under this step it would land in the wrong read-out.
        decoder_.discardUndecoded();
        const bool givenUp = decoder_.replyOutstanding();
        if (!sender_.sendQuery(state_.myCmd))
            return;
        // An empty query (step 18 before any other step ran) asks nothing.
        if (!state_.myCmd.isEmpty())
            decoder_.queryWritten(givenUp);
    } else {
        SeekCmd_Click();
    }
    yield_();
}

void PollingCycle::SeekCmd_Click() {
    if (ui_.SysTickTimer->isActive()) {
        ui_.SysTickTimer->stop();
        ui_.SeekCmd->setText(QStringLiteral("开始巡检"));
    } else {
        ui_.SysTickTimer->start();
        ui_.SeekCmd->setText(QStringLiteral("停止巡检"));
    }
}
