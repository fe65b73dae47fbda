#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmor::sim {

struct Options {
    int com = 200;
    std::string linkDir; // empty: the panel's port-link folder
    double loadOhms = 10.0;
    std::size_t chunk = 0; // 0: whole replies
    std::chrono::milliseconds delay{0};
    unsigned lineRate = 0; // baud; 0: replies as fast as the terminal takes them
    double garbage = 0.0;
    double drop = 0.0;
    double lateChance = 0.0; // of a reply leaving lateBy late, the rest behind it
    std::chrono::milliseconds lateBy{0};
    std::optional<std::chrono::milliseconds> vanishAfter;
    std::optional<std::chrono::milliseconds> returnAfter; // only with vanishAfter
    std::chrono::milliseconds flood{0};
    std::optional<std::uint32_t> seed; // none: a fresh random seed
    std::string logFile;               // empty: no command log
    std::string wireLogFile;           // empty: no wire log
    bool quiet = false;
};

struct ParsedOptions {
    enum class Action { Run, Help, Error };
    Action action = Action::Run;
    Options options;
    std::string error; // for Action::Error, one line
};

// Reads the command line without the program name. Options take their value as the next
// argument or after "=" ("--com 7", "--com=7"); a repeated option keeps its last value.
ParsedOptions parseOptions(const std::vector<std::string>& args);

std::string helpText(const std::string& program);

} // namespace velmor::sim
