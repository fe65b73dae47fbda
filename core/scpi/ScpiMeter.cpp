#include "ScpiMeter.h"

#include "meter/EnergyMeter.h"
#include "protocol/NumberText.h"

namespace Scpi {

MeterOutcome meterCommand(Header header, EnergyMeter& meter) {
    switch (header) {
    case Header::FetchPower:
        if (const std::optional<double> watts = meter.watts())
            return {NumberText::plainDecimal(*watts)};
        return {QString(), DataStale};
    case Header::FetchWattHours:
        return {NumberText::plainDecimal(meter.wattHours())};
    case Header::FetchAmpHours:
        return {NumberText::plainDecimal(meter.ampHours())};
    case Header::ResetWattHours:
    case Header::ResetAmpHours:
        meter.reset();
        return {};
    default:
        return {QString(), UndefinedHeader};
    }
}

} // namespace Scpi
