#include "supply_model.hpp"

namespace velmor::sim {

void SupplyModel::setVoltage(double volts) {
    setLevel(channels_[selected_].voltage, volts);
}

void SupplyModel::setCurrent(double amps) {
    setLevel(channels_[selected_].current, amps);
}

void SupplyModel::setOvp(double volts) {
    setLevel(channels_[selected_].ovp, volts);
}

void SupplyModel::setOcp(double amps) {
    setLevel(channels_[selected_].ocp, amps);
}

void SupplyModel::setOutput(bool on) {
    ChannelState& state = channels_[selected_];
    if (on && state.alarm) {
        return;
    }
    state.output = on;
    enforceProtection();
}

void SupplyModel::clearProtection() {
    channels_[selected_].alarm = false;
}

void SupplyModel::setTracking(Tracking tracking) {
    tracking_ = tracking;
    enforceProtection();
}

void SupplyModel::selectChannel(int channel) {
    if (channel >= 1 && channel <= kChannels) {
        selected_ = channel - 1;
    }
}

Reading SupplyModel::measure(const ChannelState& channel) const {
    if (!channel.output) {
        return {};
    }
    const double voltageLimit = channel.voltage * (tracking_ == Tracking::Series ? 2.0 : 1.0);
    const double currentLimit = channel.current * (tracking_ == Tracking::Parallel ? 2.0 : 1.0);
    if (voltageLimit <= currentLimit * loadOhms_) {
        return {voltageLimit, voltageLimit / loadOhms_};
    }
    // Constant current: report the limit itself, so that a limit equal to the OCP level does
    // not trip on the rounding of V / R.
    return {currentLimit * loadOhms_, currentLimit};
}

void SupplyModel::setLevel(double& level, double value) {
    if (value < 0) {
        return;
    }
    level = value;
    enforceProtection();
}

void SupplyModel::enforceProtection() {
    for (ChannelState& channel : channels_) {
        const Reading reading = measure(channel);
        if (reading.volts > channel.ovp || reading.amps > channel.ocp) {
            channel.output = false;
            channel.alarm = true;
        }
    }
}

} // namespace velmor::sim
