#include "Commands.h"

namespace Commands {

QString pollingQuery(PollingStep step) {
    const QString* const queries[] = {
        &MeasureVoltage,         &MeasureCurrent,         &VoltageLevelQuery, &CurrentLevelQuery,
        &VoltageProtectionQuery, &CurrentProtectionQuery, &OutputStateQuery,  &ModeQuery,
        &ChannelQuery,
    };
    const int n = int(step);
    if (n < int(PollingStep::MeasuredVoltage) || n > int(PollingStep::Channel))
        return {};
    return *queries[n - int(PollingStep::MeasuredVoltage)];
}

QString withArgument(const QString& prefix, const QString& argument) {
    return prefix + argument + End;
}

} // namespace Commands

PollingStep nextStep(PollingStep step) {
    const int n = int(step) + 1;
    return n > int(PollingStep::Identification) ? PollingStep::MeasuredVoltage : PollingStep(n);
}

bool isNumberStep(PollingStep step) {
    return step >= PollingStep::MeasuredVoltage && step <= PollingStep::OverCurrent;
}
