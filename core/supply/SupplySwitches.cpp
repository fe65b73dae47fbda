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
    const bool switchOn = shownOutput_ == OutputState::Off;
    if (!sender_.sendCommand(switchOn ? Commands::OutputOn : Commands::OutputOff,
                             CommandSender::Echo::Silent))
        return;
    showOutput(switchOn ? OutputState::On : OutputState::Off);
    // The cycle runs its last step and starts afresh.
    state_.step = PollingStep::Version;
}

bool SupplySwitches::setOutput(OutputState state) {
    const bool switchOn = state == OutputState::On;
    if (!sender_.isPortOpen() ||
        !sender_.sendCommand(switchOn ? Commands::OutputOn : Commands::OutputOff,
                             CommandSender::Echo::Silent))
        return false;
    showOutput(state);
    state_.step = PollingStep::Version;
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
    if (sender_.sendCommand(
            Commands::withArgument(Commands::ModePrefix, QString::number(int(mode))),
            CommandSender::Echo::Logged))
        // The cycle reads the voltage setpoint back next.
        state_.step = PollingStep::SetVoltage;
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
