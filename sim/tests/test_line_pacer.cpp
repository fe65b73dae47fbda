#include "line_pacer.hpp"

#include <gtest/gtest.h>

namespace velmor::sim {
namespace {

using namespace std::chrono_literals;
using Clock = LinePacer::Clock;

TEST(LinePacer, AReplyIsDueWhenCommandAndReplyHaveCrossedTheLine) {
    LinePacer pacer(9600);
    const Clock::time_point t0{};
    // 28 command bytes and 14 reply bytes at 960 bytes a second: 43.75 ms.
    EXPECT_EQ(pacer.replyDue(t0, 28, 14) - t0, 43750us);
    // Ten bits a byte: 1 byte at 10 baud takes a second.
    EXPECT_EQ(LinePacer(10).wireTime(1), 1s);
}

TEST(LinePacer, RepliesFollowOneAnotherOnTheLine) {
    LinePacer pacer(1000); // 10 ms a byte
    const Clock::time_point t0{};
    const Clock::time_point first = pacer.replyDue(t0, 2, 3);
    EXPECT_EQ(first - t0, 50ms);
    // A second command arriving at once waits for the first reply to leave the line.
    EXPECT_EQ(pacer.replyDue(t0, 2, 3) - t0, 80ms);
    // One arriving after the line fell idle is paced from its own arrival.
    EXPECT_EQ(pacer.replyDue(t0 + 1s, 2, 3) - t0, 1s + 50ms);
}

TEST(LinePacer, WithoutARateRepliesAreDueAtOnce) {
    LinePacer pacer;
    const Clock::time_point t0 = Clock::now();
    EXPECT_EQ(pacer.replyDue(t0, 28, 14), t0);
}

} // namespace
} // namespace velmor::sim
