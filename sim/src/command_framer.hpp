#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velmor::sim {

// Cuts the received byte stream into commands. A command ends with the two letters "CR"; a real
// carriage return or line feed that a client adds after them is skipped. Bytes arrive in
// arbitrary pieces, so an incomplete command waits for the next piece, but never grows past
// the limit: text that long without an end mark is junk and is dropped.
class CommandFramer {
public:
    static constexpr std::size_t kDefaultLimit = 4096;

    explicit CommandFramer(std::size_t limit = kDefaultLimit) : limit_(limit) {}

    // Appends a piece and returns the commands it completes, in order, without their end marks.
    std::vector<std::string> feed(std::string_view bytes);

    // Bytes waiting for their end mark.
    std::size_t pending() const { return buffer_.size(); }

private:
    std::size_t limit_;
    std::string buffer_;
};

} // namespace velmor::sim
