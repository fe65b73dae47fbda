#include "SupplyCycle.h"

QDateTime SupplyCycle::play(const Values& v) {
    const QDateTime start = now_;
    const auto at = [&start](int step) { return stepTime(start, step); };
    model_.setNumber(Quantity::MeasuredVoltage, v.measuredVoltage, at(1));
    model_.setNumber(Quantity::MeasuredCurrent, v.measuredCurrent, at(2));
    model_.setNumber(Quantity::SetVoltage, v.setVoltage, at(3));
    model_.setNumber(Quantity::SetCurrent, v.setCurrent, at(4));
    model_.setNumber(Quantity::OverVoltage, v.overVoltage, at(5));
    model_.setNumber(Quantity::OverCurrent, v.overCurrent, at(6));
    model_.setOutput(v.output, at(7));
    model_.setMode(v.mode, at(8));
    model_.setChannel(v.channel, at(9));
    now_ = start.addMSecs(CycleMs);
    return start;
}

void SupplyCycle::event(LinkEvent event) {
    model_.reportLinkEvent(event, now_);
    now_ = now_.addMSecs(StepMs);
}
