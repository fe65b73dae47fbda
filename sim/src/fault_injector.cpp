#include "fault_injector.hpp"

namespace velmor::sim {

FaultInjector::FaultInjector(double dropProbability, double garbageProbability, std::uint32_t seed,
                             double lateProbability, std::chrono::milliseconds lateBy)
    : random_(seed), drop_(dropProbability), garbage_(garbageProbability), late_(lateProbability),
      lateBy_(lateBy) {}

std::optional<std::string> FaultInjector::apply(std::string reply) {
    if (drop_(random_)) {
        return std::nullopt;
    }
    if (garbage_(random_)) {
        return noise(reply.size());
    }
    return reply;
}

std::chrono::milliseconds FaultInjector::lateness() {
    if (late_.p() == 0.0 || !late_(random_)) {
        return {};
    }
    return lateBy_;
}

std::string FaultInjector::noise(std::size_t length) {
    std::uniform_int_distribution<int> byte(0, 255);
    std::string bytes(length, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(byte(random_));
    }
    return bytes;
}

} // namespace velmor::sim
