#include "MessageLine.h"

#include "PanelState.h"

#include <QLabel>

MessageLine::MessageLine(PanelState& state, QLabel& msgLab) : state_(state), msgLab_(msgLab) {}

void MessageLine::show(const QString& text) {
    msgLab_.setText(text);
    state_.MsgDelayTime = Lifetime;
}

void MessageLine::clearNow() {
    msgLab_.clear();
}

void MessageLine::TmrAutoSend_Timer() {
    if (state_.MsgDelayTime <= 0)
        return;
    --state_.MsgDelayTime;
    if (state_.MsgDelayTime == 0)
        msgLab_.clear();
}
