#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace velmor::sim {

// Replies waiting to go on the line, each piece with the time it becomes due. A reply can be
// held back by a fixed delay and cut into pieces sent a short gap apart. Pieces leave in the
// order they were queued: a piece never becomes due before the one queued ahead of it.
//
// The queue is bounded: a client that sends queries but never reads the answers fills the
// pseudo-terminal, and further replies are then lost, as on an overrun serial line.
class WriteQueue {
public:
    using Clock = std::chrono::steady_clock;

    struct Settings {
        std::size_t chunk = 0; // piece size in bytes, 0 for whole replies
        Clock::duration delay{};
        Clock::duration gap{};
        std::size_t limit = 64 * 1024; // bytes held at most
    };

    explicit WriteQueue(Settings settings) : settings_(settings) {}

    // Queues a reply received at `now`; false when it does not fit and is dropped.
    bool push(std::string_view bytes, Clock::time_point now);

    // When the last piece queued is due, if any is waiting.
    std::optional<Clock::time_point> lastDue() const;

    // The earliest time at which a piece is due, if any is waiting.
    std::optional<Clock::time_point> nextDue() const;

    // The bytes of the first piece if it is due at `now`, else empty.
    std::string_view due(Clock::time_point now) const;

    // Removes the first `count` bytes of the first piece after they were written.
    void consume(std::size_t count);

private:
    struct Piece {
        Clock::time_point due;
        std::string bytes;
    };

    Settings settings_;
    std::deque<Piece> pieces_;
    std::size_t bytes_ = 0;
};

} // namespace velmor::sim
