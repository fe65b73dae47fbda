#include "SetpointCommands.h"

#include "CommandSender.h"
#include "LinkState.h"
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

} // namespace

SetpointCommands::SetpointCommands(LinkState& state, const RatingLimits& rating,
                                   CommandSender& sender, Notices& notices)
    : state_(state), rating_(rating), sender_(sender), notices_(notices) {}

void SetpointCommands::send(Setpoint setpoint, const QString& entryText) {
    const Row& row = rowOf(setpoint);
    const SetpointLimits& limits = rating_.limits();
    // The range test comes before the port test, and the number sent is the
    // number tested. A value beyond a double's range is infinite and fails.
    const double value = NumberText::leadingNumber(entryText);
    if (!(limits.*row.lower <= value && value <= limits.*row.upper)) {
        emit notices_.outOfRange();
        return;
    }
    const QString command = Commands::withArgument(row.prefix, NumberText::plainDecimal(value));
    if (sender_.sendCommand(command, CommandSender::Echo::Logged))
        state_.step = row.readBackStep;
}

SetpointCommands::Outcome SetpointCommands::sendValue(Setpoint setpoint, double value) {
    const Row& row = rowOf(setpoint);
    const SetpointLimits& limits = rating_.limits();
    if (!(limits.*row.lower <= value && value <= limits.*row.upper))
        return Outcome::OutOfRange;
    const QString command = Commands::withArgument(row.prefix, NumberText::plainDecimal(value));
    if (!sender_.isPortOpen() || !sender_.sendCommand(command, CommandSender::Echo::Logged))
        return Outcome::PortClosed;
    state_.step = row.readBackStep;
    return Outcome::Sent;
}
