#include "Commands.h"

namespace Commands {

QString pollingQuery(int step) {
    const QString* const queries[] = {
        &MeasureVoltage,         &MeasureCurrent,         &VoltageLevelQuery, &CurrentLevelQuery,
        &VoltageProtectionQuery, &CurrentProtectionQuery, &OutputStateQuery,  &ModeQuery,
        &ChannelQuery,
    };
    if (step < FirstStep || step > LastQueryStep)
        return {};
    return *queries[step - FirstStep];
}

QString withArgument(const QString& prefix, const QString& argument) {
    return prefix + argument + End;
}

} // namespace Commands
