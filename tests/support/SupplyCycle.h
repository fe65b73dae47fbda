#pragma once

#include "supply/SupplyModel.h"

#include <QDateTime>

// Plays the polling cycle into a supply model as the decoder would: one
// step every 500 ms, steps 1 to 9 each bringing one reading (measured
// voltage and current, the two setpoints, OVP, OCP, output, mode, channel),
// steps 10 to 18 nothing. Times are scripted, not the clock's.
class SupplyCycle {
public:
    static constexpr qint64 StepMs = 500;
    static constexpr int Steps = 18;
    static constexpr qint64 CycleMs = StepMs * Steps;

    struct Values {
        double measuredVoltage = 12.0;
        double measuredCurrent = 0.5;
        double setVoltage = 12.0;
        double setCurrent = 1.0;
        double overVoltage = 13.0;
        double overCurrent = 1.1;
        OutputState output = OutputState::On;
        TrackingMode mode = TrackingMode::Independent;
        int channel = 1;
    };

    SupplyCycle(SupplyModel& model, const QDateTime& start) : model_(model), now_(start) {}

    // One whole cycle; returns the time of its step 1.
    QDateTime play(const Values& values);
    // The time of a step of the cycle that begins at start (step 1 first).
    static QDateTime stepTime(const QDateTime& start, int step) {
        return start.addMSecs((step - 1) * StepMs);
    }
    void event(LinkEvent event);
    // The time the next cycle's step 1 will have.
    QDateTime next() const { return now_; }
    void skip(qint64 msecs) { now_ = now_.addMSecs(msecs); }

private:
    SupplyModel& model_;
    QDateTime now_;
};
