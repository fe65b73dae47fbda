#include "write_queue.hpp"

#include <algorithm>

namespace velmor::sim {

bool WriteQueue::push(std::string_view bytes, Clock::time_point now) {
    if (bytes_ + bytes.size() > settings_.limit) {
        return false;
    }
    Clock::time_point due = now + settings_.delay;
    if (!pieces_.empty()) {
        due = std::max(due, pieces_.back().due);
    }
    const std::size_t chunk = settings_.chunk == 0 ? bytes.size() : settings_.chunk;
    for (std::size_t offset = 0; offset < bytes.size(); offset += chunk) {
        if (offset > 0) {
            due += settings_.gap;
        }
        pieces_.push_back({due, std::string(bytes.substr(offset, chunk))});
    }
    bytes_ += bytes.size();
    return true;
}

std::optional<WriteQueue::Clock::time_point> WriteQueue::lastDue() const {
    if (pieces_.empty()) {
        return std::nullopt;
    }
    return pieces_.back().due;
}

std::optional<WriteQueue::Clock::time_point> WriteQueue::nextDue() const {
    if (pieces_.empty()) {
        return std::nullopt;
    }
    return pieces_.front().due;
}

std::string_view WriteQueue::due(Clock::time_point now) const {
    if (pieces_.empty() || pieces_.front().due > now) {
        return {};
    }
    return pieces_.front().bytes;
}

void WriteQueue::consume(std::size_t count) {
    Piece& front = pieces_.front();
    count = std::min(count, front.bytes.size());
    front.bytes.erase(0, count);
    bytes_ -= count;
    if (front.bytes.empty()) {
        pieces_.pop_front();
    }
}

} // namespace velmor::sim
