#include "OutputTimer.h"

#include "supply/SupplyModel.h"
#include "supply/SupplySwitches.h"

#include <QDateTime>

OutputTimer::OutputTimer(SupplySwitches& switches, SupplyModel& model,
                         std::function<void()> switchOff, QObject* parent)
    : QObject(parent), switches_(switches), model_(model), switchOff_(std::move(switchOff)) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &OutputTimer::runOut);
    // The switch shows a state as soon as it is sent, and again at every
    // reading: the timer learns of the operator's switch without waiting
    // for the next polling cycle.
    connect(&switches_, &SupplySwitches::outputShown, this,
            [this](OutputState state) { outputShown(state == OutputState::On); });
}

bool OutputTimer::start(std::chrono::seconds duration) {
    if (duration < std::chrono::seconds(1) || duration > Longest)
        return false;
    timer_.stop();
    duration_ = duration;
    note(QStringLiteral("output timer set %1 s").arg(duration.count()));
    setState(State::Waiting);
    if (switches_.shownOutput() == OutputState::On)
        beginCounting();
    return true;
}

void OutputTimer::cancel() {
    if (state_ == State::Idle)
        return;
    timer_.stop();
    note(QStringLiteral("output timer cancelled %1 s left").arg(remaining().count()));
    setState(State::Idle);
}

std::chrono::seconds OutputTimer::remaining() const {
    switch (state_) {
    case State::Idle:
        break;
    case State::Waiting:
        return duration_;
    case State::Counting:
        return std::chrono::seconds((deadline_.remainingTime() + 999) / 1000);
    }
    return std::chrono::seconds(0);
}

void OutputTimer::outputShown(bool on) {
    if (on && state_ == State::Waiting)
        beginCounting();
    else if (!on && state_ == State::Counting)
        cancel();
}

void OutputTimer::beginCounting() {
    const auto ms = std::chrono::milliseconds(duration_);
    deadline_.setRemainingTime(ms, Qt::PreciseTimer);
    timer_.start(ms);
    note(QStringLiteral("output timer running %1 s left").arg(duration_.count()));
    setState(State::Counting);
}

void OutputTimer::runOut() {
    // Idle before the output goes off, so that seeing it off is no cancelling.
    setState(State::Idle);
    note(QStringLiteral("output timer expired"));
    if (switchOff_)
        switchOff_();
    emit expired();
}

void OutputTimer::setState(State state) {
    if (state == state_)
        return;
    state_ = state;
    emit stateChanged(state);
}

void OutputTimer::note(const QString& text) {
    model_.reportNote(text, QDateTime::currentDateTime());
}
