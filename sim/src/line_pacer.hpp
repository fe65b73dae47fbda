#pragma once

#include <chrono>
#include <cstddef>

namespace velmor::sim {

// Paces replies as a serial line at a given rate would: a reply is due once the command and
// the reply have crossed the line, at ten bits a byte (start, eight data bits, stop), and the
// line carries one reply at a time.
class LinePacer {
public:
    using Clock = std::chrono::steady_clock;

    // 0 baud: no pacing, a reply is due when its command arrives.
    explicit LinePacer(unsigned baud = 0) : baud_(baud) {}

    // When the reply to a command that ended at `now` has crossed the line.
    Clock::time_point replyDue(Clock::time_point now, std::size_t commandBytes,
                               std::size_t replyBytes);

    // The time `bytes` take on the line.
    Clock::duration wireTime(std::size_t bytes) const;

private:
    unsigned baud_;
    Clock::time_point busyUntil_{};
};

} // namespace velmor::sim
