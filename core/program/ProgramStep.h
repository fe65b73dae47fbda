#pragma once

#include "StepCondition.h"
#include "supply/SupplyModel.h"

#include <optional>
#include <vector>

struct SetpointLimits;

// One step of a programmed run: the supply is set to the voltage and current
// with the output as given, and stays so for the dwell time, or until its
// condition is met when it has one (the dwell is then the longest it takes).
struct ProgramStep {
    double voltage = 0.0;      // V
    double current = 0.0;      // A
    double dwellSeconds = 1.0; // s
    OutputState output = OutputState::On;
    std::optional<StepCondition> until{};

    bool operator==(const ProgramStep& other) const {
        return voltage == other.voltage && current == other.current &&
               dwellSeconds == other.dwellSeconds && output == other.output && until == other.until;
    }
};

using ProgramSteps = std::vector<ProgramStep>;

namespace ProgramLimits {

// Shorter dwells than the polling interval's fraction give the supply no
// time to follow; a week per step is more than any soak asks for (repeat it).
inline constexpr double MinDwellSeconds = 0.1;
inline constexpr double MaxDwellSeconds = 604800.0;
// Ten thousand steps are a ramp of a step a second for close on three hours;
// a list beyond that is more likely a wrong file than a program.
inline constexpr int MaxSteps = 10000;
inline constexpr int MaxRepeat = 9999;

bool dwellAllowed(double seconds);

// The steps whose voltage or current the set buttons would refuse under
// these limits (their indexes, in order): the same inclusive test.
std::vector<int> stepsOutsideLimits(const SetpointLimits& limits, const ProgramSteps& steps);

} // namespace ProgramLimits

// A ramp of `count` steps (at least 2) from `from` to `to`, both included,
// taking `totalSeconds` in all, each step the same dwell; `voltage` chooses
// whether the voltage ramps (the current stays `other`) or the current
// (the voltage stays `other`). The output is on. Nothing when the count is
// below 2 or above the step bound, or the dwell falls outside its bounds.
std::optional<ProgramSteps> rampSteps(bool voltage, double from, double to, int count,
                                      double totalSeconds, double other);
