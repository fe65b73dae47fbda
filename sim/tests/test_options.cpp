#include "options.hpp"

#include <gtest/gtest.h>

#include <functional>

namespace velmor::sim {
namespace {

using Action = ParsedOptions::Action;
using Args = std::vector<std::string>;

TEST(Options, EachOptionSetsItsField) {
    const struct {
        Args args;
        std::function<bool(const Options&)> holds;
    } cases[] = {
        {{}, [](const Options& o) { return o.com == 200 && o.loadOhms == 10.0 && !o.quiet; }},
        {{"--com", "7"}, [](const Options& o) { return o.com == 7; }},
        {{"--com=255"}, [](const Options& o) { return o.com == 255; }},
        {{"--link-dir", "/tmp/x"}, [](const Options& o) { return o.linkDir == "/tmp/x"; }},
        {{"--load-ohms", "2.5"}, [](const Options& o) { return o.loadOhms == 2.5; }},
        {{"--chunk", "3"}, [](const Options& o) { return o.chunk == 3; }},
        {{"--delay=250"}, [](const Options& o) { return o.delay.count() == 250; }},
        {{"--line-rate", "9600"}, [](const Options& o) { return o.lineRate == 9600; }},
        {{"--garbage", "0.25"}, [](const Options& o) { return o.garbage == 0.25; }},
        {{"--drop", "1"}, [](const Options& o) { return o.drop == 1.0; }},
        {{"--late", "0.05:1500"},
         [](const Options& o) { return o.lateChance == 0.05 && o.lateBy.count() == 1500; }},
        {{"--late=1:1"},
         [](const Options& o) { return o.lateChance == 1.0 && o.lateBy.count() == 1; }},
        {{"--vanish-after", "1.5"},
         [](const Options& o) { return o.vanishAfter->count() == 1500 && !o.returnAfter; }},
        {{"--return-after", "0.25", "--vanish-after", "2"},
         [](const Options& o) {
             return o.vanishAfter->count() == 2000 && o.returnAfter->count() == 250;
         }},
        {{"--flood", "0.2"}, [](const Options& o) { return o.flood.count() == 200; }},
        {{"--seed", "4294967295"}, [](const Options& o) { return *o.seed == 4294967295u; }},
        {{"--log", "cmds.txt"}, [](const Options& o) { return o.logFile == "cmds.txt"; }},
        {{"--wire-log=wire.txt"}, [](const Options& o) { return o.wireLogFile == "wire.txt"; }},
        {{"--com", "5", "--quiet", "--com", "6"},
         [](const Options& o) { return o.com == 6 && o.quiet; }},
    };
    for (const auto& c : cases) {
        const ParsedOptions parsed = parseOptions(c.args);
        const std::string name = c.args.empty() ? "(none)" : c.args.front();
        ASSERT_EQ(parsed.action, Action::Run) << name << ": " << parsed.error;
        EXPECT_TRUE(c.holds(parsed.options)) << name;
    }
}

TEST(Options, BadCommandLinesAreRejectedWithTheOffenderNamed) {
    const std::pair<Args, const char*> cases[] = {
        {{"--com", "0"}, "--com"},
        {{"--com", "256"}, "--com"},
        {{"--com", "COM3"}, "--com"},
        {{"--com"}, "--com"},
        {{"--com="}, "--com"},
        {{"--link-dir", ""}, "--link-dir"},
        {{"--load-ohms", "0"}, "--load-ohms"},
        {{"--load-ohms", "nan"}, "--load-ohms"},
        {{"--chunk", "0"}, "--chunk"},
        {{"--chunk", "1.5"}, "--chunk"},
        {{"--delay", "-5"}, "--delay"},
        {{"--line-rate", "0"}, "--line-rate"},
        {{"--line-rate", "9600.5"}, "--line-rate"},
        {{"--garbage", "1.5"}, "--garbage"},
        {{"--drop", "half"}, "--drop"},
        {{"--late", "0.5"}, "--late"},
        {{"--late", "0.5:"}, "--late"},
        {{"--late", ":300"}, "--late"},
        {{"--late", "1.5:300"}, "--late"},
        {{"--late", "0.5:0"}, "--late"},
        {{"--late", "0.5:2.5"}, "--late"},
        {{"--late", "0.5:-300"}, "--late"},
        {{"--late", "0.5:3600001"}, "--late"},
        {{"--late", "0.5:300:1"}, "--late"},
        {{"--late", "0.5 :300"}, "--late"},
        {{"--vanish-after", "-1"}, "--vanish-after"},
        {{"--vanish-after", "1", "--return-after", "soon"}, "--return-after"},
        {{"--return-after", "1"}, "--vanish-after"},
        {{"--flood", "inf"}, "--flood"},
        {{"--seed", "4294967296"}, "--seed"},
        {{"--log"}, "--log"},
        {{"--wire-log", ""}, "--wire-log"},
        {{"--colour"}, "--colour"},
        {{"stray"}, "stray"},
        {{"--quiet=yes"}, "--quiet=yes"},
    };
    for (const auto& [args, named] : cases) {
        const ParsedOptions parsed = parseOptions(args);
        EXPECT_EQ(parsed.action, Action::Error) << args.front();
        EXPECT_NE(parsed.error.find(named), std::string::npos) << parsed.error;
    }
}

TEST(Options, HelpWinsAndDescribesEveryOption) {
    for (const Args& args : {Args{"--help"}, Args{"-h"}, Args{"--com", "3", "--help"}}) {
        EXPECT_EQ(parseOptions(args).action, Action::Help) << args.front();
    }
    const std::string help = helpText("velmor-supply-sim");
    for (const char* option :
         {"--com", "--link-dir", "--load-ohms", "--chunk", "--delay", "--line-rate", "--garbage",
          "--drop", "--late", "--vanish-after", "--return-after", "--flood", "--seed", "--log",
          "--wire-log", "--quiet", "--help"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
}

} // namespace
} // namespace velmor::sim
