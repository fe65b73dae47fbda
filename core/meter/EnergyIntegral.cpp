#include "EnergyIntegral.h"

void EnergyIntegral::voltage(double volts, qint64 at) {
    volts_ = volts;
    sample(at);
}

void EnergyIntegral::current(double amps, qint64 at) {
    amps_ = amps;
    sample(at);
}

void EnergyIntegral::output(bool on) {
    // The output changed somewhere between two readings: neither the
    // stretch before nor the one after is known to be wholly on.
    if (on != on_)
        last_.reset();
    on_ = on;
}

void EnergyIntegral::interrupt() {
    volts_.reset();
    amps_.reset();
    last_.reset();
}

void EnergyIntegral::reset() {
    totals_ = Totals{};
    last_.reset();
}

void EnergyIntegral::sample(qint64 at) {
    if (!volts_ || !amps_)
        return;
    const Sample now{at, *volts_ * *amps_, *amps_};
    watts_ = now.watts;
    if (!on_) {
        last_.reset();
        return;
    }
    if (last_) {
        const qint64 span = now.at - last_->at;
        // A clock set back, or readings too far apart to vouch for the time between.
        if (span > 0 && span <= MaxGapMs) {
            const double seconds = double(span) / 1000.0;
            totals_.joules += (last_->watts + now.watts) / 2.0 * seconds;
            totals_.coulombs += (last_->amps + now.amps) / 2.0 * seconds;
            totals_.onMs += span;
        }
    }
    last_ = now;
}
