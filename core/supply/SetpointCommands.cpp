#include "SetpointCommands.h"

#include "LineArbiter.h"
#include "Notices.h"
#include "RatingLimits.h"
#include "protocol/Commands.h"
#include "protocol/NumberText.h"

namespace {

struct Row {
    double SetpointLimits::*lower;
    double SetpointLimits::*upper;
    const QString& prefix;
    PollingStep readBackStep;
};

const Row& rowOf(SetpointCommands::Setpoint setpoint) {
    using S = SetpointLimits;
    static const Row rows[] = {
        {&S::CVSetValueMin, &S::CVSetValueMax, Commands::VoltageLevelPrefix,
         PollingStep::SetVoltage},
        {&S::CCSetValueMin, &S::CCSetValueMax, Commands::CurrentLevelPrefix,
         PollingStep::SetCurrent},
        {&S::OVPSetValueMin, &S::OVPSetValueMax, Commands::VoltageProtectionPrefix,
         PollingStep::OverVoltage},
        {&S::OCPSetValueMin, &S::OCPSetValueMax, Commands::CurrentProtectionPrefix,
         PollingStep::OverCurrent},
    };
    return rows[int(setpoint)];
}

bool inLimits(const SetpointLimits& limits, const Row& row, double value) {
    // A value beyond a double's range is infinite and fails.
    return limits.*row.lower <= value && value <= limits.*row.upper;
}

QString commandFor(const Row& row, double value) {
    return Commands::withArgument(row.prefix, NumberText::plainDecimal(value));
}

} // namespace

SetpointCommands::SetpointCommands(const RatingLimits& rating, LineArbiter& line,
                                   Notices& notices)
    : rating_(rating), line_(line), notices_(notices) {}

void SetpointCommands::send(Setpoint setpoint, const QString& entryText) {
    const Row& row = rowOf(setpoint);
    const SetpointLimits& limits = rating_.limits();
    // The range test comes before the port test, and the number sent is the
    // number tested.
    const double value = NumberText::leadingNumber(entryText);
    if (!inLimits(limits, row, value)) {
        emit notices_.outOfRange();
        return;
    }
    (void)line_.sendCommand(commandFor(row, value), LineArbiter::Echo::Logged,
                              row.readBackStep);
}

SetpointCommands::Outcome SetpointCommands::sendValue(Setpoint setpoint, double value) {
    const Row& row = rowOf(setpoint);
    if (!inLimits(rating_.limits(), row, value))
        return Outcome::OutOfRange;
    if (!line_.isPortOpen())
        return Outcome::PortClosed;
    return line_.sendCommand(commandFor(row, value), LineArbiter::Echo::Logged,
                               row.readBackStep)
               ? Outcome::Sent
               : Outcome::PortClosed;
}
