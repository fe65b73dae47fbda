#include "command_log.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace velmor::sim {

namespace {

std::string escapeCommand(std::string_view command) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(command.size());
    for (const char c : command) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && c != '\\') {
            out += c;
        } else {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

} // namespace

CommandLog::CommandLog(const std::string& path)
    : fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644)) {
    if (!fd_.valid()) {
        throw std::system_error(errno, std::generic_category(), "cannot open log " + path);
    }
}

void CommandLog::record(std::string_view command) {
    // The line goes out in one call, so a test reading the file while the simulator runs sees
    // whole lines.
    const std::string line = escapeCommand(command) + "\n";
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t written = ::write(fd_.get(), line.data() + done, line.size() - done);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw std::system_error(errno, std::generic_category(), "cannot write the log");
        }
        done += static_cast<std::size_t>(written);
    }
}

namespace {

std::string millisecondsText(std::chrono::system_clock::time_point at) {
    using std::chrono::milliseconds;
    return std::to_string(std::chrono::duration_cast<milliseconds>(at.time_since_epoch()).count());
}

} // namespace

void WireLog::command(std::string_view command, std::chrono::system_clock::time_point at) {
    file_.record(millisecondsText(at) + " < " + std::string(command));
}

void WireLog::reply(std::string_view fate, std::string_view reply,
                    std::chrono::system_clock::time_point due) {
    file_.record(millisecondsText(due) + " > " + std::string(fate) + " " + std::string(reply));
}

} // namespace velmor::sim
