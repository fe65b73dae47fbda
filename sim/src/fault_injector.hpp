#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <string>

namespace velmor::sim {

// Spoils replies the way a bad line or a confused instrument would. One seeded generator drives
// every decision, so a run with the same seed and the same traffic repeats exactly.
class FaultInjector {
public:
    FaultInjector(double dropProbability, double garbageProbability, std::uint32_t seed,
                  double lateProbability = 0.0, std::chrono::milliseconds lateBy = {});

    // The reply as it goes on the line: nothing when it is dropped, or random bytes of the same
    // length in place of a garbled one.
    std::optional<std::string> apply(std::string reply);

    // How much later than due a reply leaves: `lateBy` with the late probability, else nothing.
    // With no chance of lateness no number is drawn, so a seed repeats the runs it gave before.
    std::chrono::milliseconds lateness();

    // Random bytes, any values, for flooding the line.
    std::string noise(std::size_t length);

private:
    std::mt19937 random_;
    std::bernoulli_distribution drop_;
    std::bernoulli_distribution garbage_;
    std::bernoulli_distribution late_;
    std::chrono::milliseconds lateBy_;
};

} // namespace velmor::sim
