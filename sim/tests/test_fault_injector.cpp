#include "fault_injector.hpp"

#include <gtest/gtest.h>

#include <set>

namespace velmor::sim {
namespace {

const std::string kReply = "+1.23456E+01\r\n";

TEST(FaultInjector, ProbabilitiesSetTheShareOfDroppedAndGarbledReplies) {
    const struct {
        double drop, garbage;
    } cases[] = {{0, 0}, {1, 1}, {0, 1}, {0.5, 0}, {0, 0.5}, {0.2, 0.8}};
    constexpr int kTrials = 4000;
    for (const auto& c : cases) {
        FaultInjector faults(c.drop, c.garbage, 7);
        int dropped = 0;
        int garbled = 0;
        for (int i = 0; i < kTrials; ++i) {
            const auto out = faults.apply(kReply);
            if (!out) {
                ++dropped;
                continue;
            }
            ASSERT_EQ(out->size(), kReply.size());
            garbled += *out != kReply;
        }
        // A garbled reply is one that was not dropped first.
        const double expectedGarbled = (1 - c.drop) * c.garbage * kTrials;
        EXPECT_NEAR(dropped, c.drop * kTrials, 0.03 * kTrials) << c.drop << "/" << c.garbage;
        EXPECT_NEAR(garbled, expectedGarbled, 0.03 * kTrials) << c.drop << "/" << c.garbage;
    }
}

TEST(FaultInjector, TheSeedMakesARunRepeatable) {
    FaultInjector first(0.3, 0.3, 42);
    FaultInjector second(0.3, 0.3, 42);
    FaultInjector other(0.3, 0.3, 43);
    bool otherDiffers = false;
    for (int i = 0; i < 200; ++i) {
        const auto a = first.apply(kReply);
        EXPECT_EQ(a, second.apply(kReply)) << i;
        otherDiffers = otherDiffers || a != other.apply(kReply);
    }
    EXPECT_TRUE(otherDiffers);
}

TEST(FaultInjector, LatenessComesWithItsProbabilityAndLeavesOldSeedsAlone) {
    using std::chrono::milliseconds;
    constexpr int kTrials = 4000;
    for (const double chance : {0.0, 0.1, 0.5, 1.0}) {
        FaultInjector faults(0, 0, 9, chance, milliseconds(700));
        int late = 0;
        for (int i = 0; i < kTrials; ++i) {
            const milliseconds by = faults.lateness();
            ASSERT_TRUE(by == milliseconds(0) || by == milliseconds(700)) << by.count();
            late += by.count() != 0;
        }
        EXPECT_NEAR(late, chance * kTrials, 0.03 * kTrials) << chance;
    }
    // Asking for lateness that cannot happen draws nothing: the garbling stays as before.
    FaultInjector plain(0, 0.5, 21);
    FaultInjector asked(0, 0.5, 21);
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(asked.lateness(), milliseconds(0));
        EXPECT_EQ(plain.apply(kReply), asked.apply(kReply)) << i;
    }
}

TEST(FaultInjector, NoiseUsesEveryKindOfByte) {
    FaultInjector faults(0, 0, 3);
    const std::string noise = faults.noise(4096);
    ASSERT_EQ(noise.size(), 4096u);
    const std::set<unsigned char> bytes(noise.begin(), noise.end());
    EXPECT_GT(bytes.size(), 250u);
}

} // namespace
} // namespace velmor::sim
