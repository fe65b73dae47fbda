#pragma once

#include "unique_fd.hpp"

#include <string>

namespace velmor::sim {

// The pseudo-terminal that stands in for the supply's serial adapter.
//
// The slave side is put in raw mode, so a client that opens it gets the bytes unchanged, and
// the port keeps a slave descriptor of its own: without it the terminal would hang up each time
// the client closes the device, and the master would be useless for the next client.
class PtyPort {
public:
    // Opens a new pseudo-terminal; throws std::system_error on failure.
    PtyPort();

    // Non-blocking master side, for the simulator's end of the line.
    int master() const { return master_.get(); }
    const std::string& slavePath() const { return slavePath_; }

    // Closes both ends: the device disappears and a client still holding it is hung up.
    void close();

private:
    UniqueFd master_;
    UniqueFd slave_;
    std::string slavePath_;
};

} // namespace velmor::sim
