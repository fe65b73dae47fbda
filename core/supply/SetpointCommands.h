#pragma once

#include <QString>

class LineArbiter;
class Notices;
class RatingLimits;

// The four setpoints: each entry's text is tested against its limits, one
// set command goes out and the polling step moves to the query that reads
// the same quantity back.
class SetpointCommands {
public:
    enum class Setpoint { Voltage, Current, OverVoltage, OverCurrent };
    enum class Outcome { Sent, OutOfRange, PortClosed };

    SetpointCommands(const RatingLimits& rating, LineArbiter& line, Notices& notices);

    // The entry text as the operator typed it; a value outside its limits
    // shows the out-of-range box and sends nothing.
    void send(Setpoint setpoint, const QString& entryText);
    // A value from elsewhere than an entry (a programmed run, a remote
    // client): the same test, the same command and the same polling step as
    // the button, but no box and no message; the caller reports.
    Outcome sendValue(Setpoint setpoint, double value);

private:
    const RatingLimits& rating_;
    LineArbiter& line_;
    Notices& notices_;
};
