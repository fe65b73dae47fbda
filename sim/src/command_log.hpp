#pragma once

#include "unique_fd.hpp"

#include <chrono>
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

// The traffic as a soak lines it up with what a program recorded: every command received and
// every reply with its fate (sent; late; held behind a late one; garbled; dropped), each after the
// wall-clock time in milliseconds since the epoch, "<" for a command and ">" for a reply:
//   1733600000123 < APPL?
//   1733600000125 > sent 1\x0D\x0A
// A reply's time is when it is due to leave (its last piece); a dropped one's when it was not
// sent.
class WireLog {
public:
    explicit WireLog(const std::string& path) : file_(path) {}

    void command(std::string_view command, std::chrono::system_clock::time_point at);
    void reply(std::string_view fate, std::string_view reply,
               std::chrono::system_clock::time_point due);

private:
    CommandLog file_;
};

} // namespace velmor::sim
