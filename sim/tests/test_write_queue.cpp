#include "write_queue.hpp"

#include <gtest/gtest.h>

namespace velmor::sim {
namespace {

using Clock = WriteQueue::Clock;
using std::chrono::milliseconds;

const Clock::time_point kStart{};

// Takes every piece in order at its due time, checking that none is due any earlier.
std::vector<std::pair<Clock::time_point, std::string>> drain(WriteQueue& queue) {
    std::vector<std::pair<Clock::time_point, std::string>> pieces;
    while (const auto due = queue.nextDue()) {
        EXPECT_TRUE(queue.due(*due - milliseconds(1)).empty()) << "a piece came early";
        pieces.emplace_back(*due, queue.due(*due));
        queue.consume(pieces.back().second.size());
    }
    return pieces;
}

TEST(WriteQueue, RepliesAreDelayedAndCutIntoPiecesAGapApart) {
    const std::string reply = "VELMOR-SIM,PSU-3005,SN000200,V1.06\r\n";
    const auto gap = milliseconds(2);
    for (const std::size_t chunk : {0u, 1u, 5u, 7u, 36u, 100u}) {
        for (const auto delay : {milliseconds(0), milliseconds(250)}) {
            WriteQueue queue({chunk, delay, gap});
            queue.push(reply, kStart);
            const auto pieces = drain(queue);
            const std::size_t size = chunk == 0 ? reply.size() : chunk;
            ASSERT_EQ(pieces.size(), (reply.size() + size - 1) / size) << chunk;
            std::string joined;
            for (std::size_t i = 0; i < pieces.size(); ++i) {
                EXPECT_EQ(pieces[i].first, kStart + delay + static_cast<int>(i) * gap) << chunk;
                EXPECT_LE(pieces[i].second.size(), size);
                joined += pieces[i].second;
            }
            EXPECT_EQ(joined, reply) << chunk;
        }
    }
}

TEST(WriteQueue, RepliesLeaveInTheOrderTheyCame) {
    WriteQueue queue({2, milliseconds(5), milliseconds(2)});
    queue.push("first\r\n", kStart);
    queue.push("second\r\n", kStart + milliseconds(1));
    std::string joined;
    for (const auto& piece : drain(queue)) {
        joined += piece.second;
    }
    EXPECT_EQ(joined, "first\r\nsecond\r\n");
}

TEST(WriteQueue, KeepsTheRestOfAPartWriteAndDropsRepliesBeyondTheLimit) {
    WriteQueue queue({0, {}, {}, 10});
    EXPECT_TRUE(queue.push("123456", kStart));
    EXPECT_FALSE(queue.push("abcdef", kStart));
    queue.consume(4);
    EXPECT_EQ(queue.due(kStart), "56");
    EXPECT_TRUE(queue.push("abcdefgh", kStart)) << "written bytes free their room";
    queue.consume(2);
    EXPECT_EQ(queue.due(kStart), "abcdefgh");
}

} // namespace
} // namespace velmor::sim
