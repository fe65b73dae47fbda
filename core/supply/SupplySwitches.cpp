#include "SupplySwitches.h"

#include "CommandSender.h"
#include "LinkState.h"
#include "protocol/Commands.h"

SupplySwitches::SupplySwitches(LinkState& state, CommandSender& sender, QObject* parent)
    : QObject(parent), state_(state), sender_(sender) {}

TrackingMode SupplySwitches::selectedMode() const {
    return state_.mode;
}

void SupplySwitches::toggleOutput() {
    (void)sendOutput(shownOutput_ == OutputState::Off ? OutputState::On : OutputState::Off);
}

bool SupplySwitches::setOutput(OutputState state) {
    return sender_.isPortOpen() && sendOutput(state);
}

bool SupplySwitches::sendOutput(OutputState state) {
    // The cycle runs its last step and starts afresh.
    if (!sender_.sendCommand(state == OutputState::On ? Commands::OutputOn : Commands::OutputOff,
                             CommandSender::Echo::Silent, PollingStep::Version))
        return false;
    showOutput(state);
    return true;
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
    (void)sender_.sendCommand(
        Commands::withArgument(Commands::ModePrefix, QString::number(int(mode))),
        CommandSender::Echo::Logged, PollingStep::SetVoltage);
}

void SupplySwitches::selectChannel(int channel) {
    selectedChannel_ = channel;
    emit channelSelected(channel);
    (void)sender_.sendCommand(
        Commands::withArgument(Commands::ChannelPrefix, QString::number(channel)),
        CommandSender::Echo::Logged);
}

void SupplySwitches::clearAlarm() {
    (void)sender_.sendCommand(Commands::ClearAlarm, CommandSender::Echo::Silent);
}
