#include "ProgramStep.h"

#include "supply/RatingLimits.h"

#include <cmath>

bool ProgramLimits::dwellAllowed(double seconds) {
    return seconds >= MinDwellSeconds && seconds <= MaxDwellSeconds;
}

std::vector<int> ProgramLimits::stepsOutsideLimits(const SetpointLimits& limits,
                                                   const ProgramSteps& steps) {
    // As the voltage and current set buttons test their entries: both ends
    // included, and a value that is not a number fails.
    const auto within = [](double value, double lower, double upper) {
        return lower <= value && value <= upper;
    };
    std::vector<int> outside;
    for (size_t i = 0; i < steps.size(); ++i) {
        const ProgramStep& step = steps[i];
        if (!within(step.voltage, limits.CVSetValueMin, limits.CVSetValueMax) ||
            !within(step.current, limits.CCSetValueMin, limits.CCSetValueMax))
            outside.push_back(int(i));
    }
    return outside;
}

std::optional<ProgramSteps> rampSteps(bool voltage, double from, double to, int count,
                                      double totalSeconds, double other) {
    if (count < 2 || count > ProgramLimits::MaxSteps || !std::isfinite(from) ||
        !std::isfinite(to) || !std::isfinite(other))
        return std::nullopt;
    const double dwell = totalSeconds / count;
    if (!ProgramLimits::dwellAllowed(dwell))
        return std::nullopt;
    ProgramSteps steps;
    steps.reserve(size_t(count));
    for (int k = 0; k < count; ++k) {
        // The last step lands on `to` exactly, whatever the rounding on the way.
        const double value = k == count - 1 ? to : from + (to - from) * k / (count - 1);
        ProgramStep step;
        step.voltage = voltage ? value : other;
        step.current = voltage ? other : value;
        step.dwellSeconds = dwell;
        steps.push_back(step);
    }
    return steps;
}
