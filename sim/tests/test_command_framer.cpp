#include "command_framer.hpp"

#include <gtest/gtest.h>

namespace velmor::sim {
namespace {

using Commands = std::vector<std::string>;

TEST(CommandFramer, PiecesMaySplitAnywhere) {
    const std::string stream = "OUTP 1CRVOLTage:LEVel 12.5CR*IDN?CR";
    const Commands expected = {"OUTP 1", "VOLTage:LEVel 12.5", "*IDN?"};
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        CommandFramer framer;
        Commands got = framer.feed(stream.substr(0, cut));
        const Commands rest = framer.feed(stream.substr(cut));
        got.insert(got.end(), rest.begin(), rest.end());
        EXPECT_EQ(got, expected) << "cut at " << cut;
        EXPECT_EQ(framer.pending(), 0u);
    }
    CommandFramer bytewise;
    Commands got;
    for (const char c : stream) {
        for (std::string& command : bytewise.feed(std::string(1, c))) {
            got.push_back(std::move(command));
        }
    }
    EXPECT_EQ(got, expected);
}

TEST(CommandFramer, SkipsRealLineEndsAndEmptyCommands) {
    const std::pair<Commands, Commands> cases[] = {
        {{"APPL?CR\r\nSOUR:MODE?CR"}, {"APPL?", "SOUR:MODE?"}},
        {{"APPL?CR\rSOUR:MODE?CR\n\n"}, {"APPL?", "SOUR:MODE?"}},
        {{"APPL?CR", "\r", "\nOUTP 0CR"}, {"APPL?", "OUTP 0"}},
        {{"CRCR\r\nCR"}, {}},
    };
    for (const auto& [pieces, expected] : cases) {
        CommandFramer framer;
        Commands got;
        for (const std::string& piece : pieces) {
            const Commands done = framer.feed(piece);
            got.insert(got.end(), done.begin(), done.end());
        }
        EXPECT_EQ(got, expected) << pieces.front();
        EXPECT_EQ(framer.pending(), 0u) << pieces.front();
    }
}

TEST(CommandFramer, DropsJunkBeyondTheLimitAndRecovers) {
    constexpr std::size_t limit = 64;
    CommandFramer framer(limit);
    for (int i = 0; i < 10; ++i) {
        EXPECT_TRUE(framer.feed(std::string(limit / 2, 'x')).empty());
        EXPECT_LE(framer.pending(), limit);
    }
    CommandFramer fresh(limit);
    fresh.feed(std::string(limit + 1, 'x'));
    EXPECT_EQ(fresh.feed("APPL?CR"), Commands{"APPL?"});
    // A mark cut in half by the drop still ends the junk.
    fresh.feed(std::string(limit, 'x') + "C");
    EXPECT_EQ(fresh.feed("RAPPL?CR"), Commands{"APPL?"});
}

} // namespace
} // namespace velmor::sim
