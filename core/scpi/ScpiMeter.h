#pragma once

#include "ScpiParser.h"

#include <QString>

class EnergyMeter;

// The meter's commands: power, energy and charge as the meter has them,
// without wire traffic, and resetting it.
namespace Scpi {

struct MeterOutcome {
    QString reply; // empty for a setting
    int error = NoError;
};

// FETCh:POWer? (-230 before a voltage and a current were read),
// FETCh:WHOur?, FETCh:AHOur?, and SENSe:WHOur:RESet and SENSe:AHOur:RESet,
// each of which resets the whole meter: energy and charge are counted over
// one stretch.
MeterOutcome meterCommand(Header header, EnergyMeter& meter);

} // namespace Scpi
