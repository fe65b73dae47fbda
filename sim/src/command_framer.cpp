#include "command_framer.hpp"

namespace velmor::sim {

namespace {

constexpr std::string_view kEndMark = "CR";

bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}

} // namespace

std::vector<std::string> CommandFramer::feed(std::string_view bytes) {
    buffer_.append(bytes);

    std::vector<std::string> commands;
    std::size_t start = 0;
    for (;;) {
        while (start < buffer_.size() && isLineEnd(buffer_[start])) {
            ++start;
        }
        const auto mark = buffer_.find(kEndMark, start);
        if (mark == std::string::npos) {
            break;
        }
        if (mark > start) {
            commands.push_back(buffer_.substr(start, mark - start));
        }
        start = mark + kEndMark.size();
    }
    buffer_.erase(0, start);

    if (buffer_.size() > limit_) {
        // Keep a trailing "C": it may be the first half of the next end mark.
        const bool halfMark = buffer_.back() == kEndMark.front();
        buffer_.clear();
        if (halfMark) {
            buffer_ += kEndMark.front();
        }
    }
    return commands;
}

} // namespace velmor::sim
