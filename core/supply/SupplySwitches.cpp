#include "SupplySwitches.h"

#include "LineArbiter.h"
#include "LinkState.h"
#include "protocol/Commands.h"

SupplySwitches::SupplySwitches(LinkState& state, LineArbiter& line, QObject* parent)
    : QObject(parent), state_(state), line_(line) {}

TrackingMode SupplySwitches::selectedMode() const {
    return state_.mode;
}

void SupplySwitches::toggleOutput() {
    (void)sendOutput(shownOutput_ == OutputState::Off ? OutputState::On : OutputState::Off);
}

bool SupplySwitches::setOutput(OutputState state) {
    return line_.isPortOpen() && sendOutput(state);
}

bool SupplySwitches::sendOutput(OutputState state) {
    // The cycle runs its last step and starts afresh.
    if (!line_.sendCommand(state == OutputState::On ? Commands::OutputOn : Commands::OutputOff,
                           LineArbiter::Echo::Silent, PollingStep::Version))
        return false;
    showOutput(state);
    return true;
}

bool SupplySwitches::switchOffNow() {
    offOwed_ = !line_.sendOwed(Commands::OutputOff, PollingStep::Version);
    if (offOwed_) {
        emit switchOffFailed();
        return false;
    }
    showOutput(OutputState::Off);
    return true;
}

void SupplySwitches::payOwedOff() {
    if (offOwed_)
        (void)switchOffNow();
}

void SupplySwitches::showOutput(OutputState state) {
    shownOutput_ = state;
    emit outputShown(state);
}

void SupplySwitches::selectMode(TrackingMode mode) {
    // The option shows selected before its command goes out.
    state_.mode = mode;
    emit modeSelected(mode);
    // The cycle reads the voltage setpoint back next.
    (void)line_.sendCommand(
        Commands::withArgument(Commands::ModePrefix, QString::number(int(mode))),
        LineArbiter::Echo::Logged, PollingStep::SetVoltage);
}

void SupplySwitches::selectChannel(int channel) {
    selectedChannel_ = channel;
    emit channelSelected(channel);
    (void)line_.sendCommand(
        Commands::withArgument(Commands::ChannelPrefix, QString::number(channel)),
        LineArbiter::Echo::Logged);
}

void SupplySwitches::clearAlarm() {
    (void)line_.sendCommand(Commands::ClearAlarm, LineArbiter::Echo::Silent);
}
