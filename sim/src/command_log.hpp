#pragma once

#include "unique_fd.hpp"

#include <string>
#include <string_view>

namespace velmor::sim {

// Appends every command the supply receives to a file, one per line, so that a test can check
// what reached the supply. Bytes outside printable ASCII, and the backslash itself, are written
// as \xHH, which keeps one command on one line whatever junk it holds.
class CommandLog {
public:
    // Throws std::system_error when the file cannot be opened for appending.
    explicit CommandLog(const std::string& path);

    void record(std::string_view command);

private:
    UniqueFd fd_;
};

} // namespace velmor::sim
