#pragma once

#include <array>

namespace velmor::sim {

// How the two channels work together.
enum class Tracking { Independent = 0, Parallel = 1, Series = 2 };

struct ChannelState {
    double voltage = 5.0; // setpoint, V
    double current = 1.0; // setpoint, A
    double ovp = 33.0;    // over-voltage protection level, V
    double ocp = 3.3;     // over-current protection level, A
    bool output = false;
    bool alarm = false; // protection tripped and not yet cleared
};

struct Reading {
    double volts = 0;
    double amps = 0;
};

// The state of a two-channel supply driving a resistive load.
//
// Every command acts on the selected channel. The output is a constant-voltage /
// constant-current source: it holds the voltage setpoint until the load would draw more than
// the current setpoint, then holds the current. The tracking modes stand for the pair of
// channels wired together and driven by the selected channel's settings: in series the voltage
// limit doubles, in parallel the current limit doubles.
//
// A reading above its protection level (V > OVP or I > OCP) switches that channel's output off
// and latches an alarm; while the alarm stands the output cannot be switched on.
class SupplyModel {
public:
    static constexpr int kChannels = 2;

    explicit SupplyModel(double loadOhms) : loadOhms_(loadOhms) {}

    // Setpoints and protection levels are magnitudes: negative values are ignored.
    void setVoltage(double volts);
    void setCurrent(double amps);
    void setOvp(double volts);
    void setOcp(double amps);
    void setOutput(bool on);
    void clearProtection();
    void setTracking(Tracking tracking);
    void selectChannel(int channel); // 1 or 2; anything else is ignored

    int selectedChannel() const { return selected_ + 1; }
    Tracking tracking() const { return tracking_; }
    const ChannelState& channel() const { return channels_[selected_]; }
    Reading measure() const { return measure(channels_[selected_]); }

private:
    Reading measure(const ChannelState& channel) const;
    void setLevel(double& level, double value);
    void enforceProtection();

    double loadOhms_;
    std::array<ChannelState, kChannels> channels_{};
    int selected_ = 0;
    Tracking tracking_ = Tracking::Independent;
};

} // namespace velmor::sim
