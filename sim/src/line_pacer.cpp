#include "line_pacer.hpp"

#include <algorithm>

namespace velmor::sim {

LinePacer::Clock::duration LinePacer::wireTime(std::size_t bytes) const {
    if (baud_ == 0) {
        return Clock::duration::zero();
    }
    constexpr long long kBitsPerByte = 10;
    // Rounded to the nearest nanosecond, so that the parts of a reply's way
    // add up to the whole.
    const auto baud = static_cast<long long>(baud_);
    const auto nanoseconds =
        (static_cast<long long>(bytes) * kBitsPerByte * 1'000'000'000LL + baud / 2) / baud;
    return std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(nanoseconds));
}

LinePacer::Clock::time_point LinePacer::replyDue(Clock::time_point now, std::size_t commandBytes,
                                                 std::size_t replyBytes) {
    // The command had crossed the line when it arrived; the reply starts once the line is
    // free of the reply before it.
    const Clock::time_point start = std::max(now + wireTime(commandBytes), busyUntil_);
    busyUntil_ = start + wireTime(replyBytes);
    return busyUntil_;
}

} // namespace velmor::sim
