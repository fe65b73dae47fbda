#pragma once

#include "unique_fd.hpp"

#include <csignal>
#include <iterator>

namespace velmor::sim {

// Turns SIGINT, SIGTERM and SIGHUP into a readable byte on a pipe, so that the poll() loop
// learns of them without doing work inside a signal handler. Only one may exist at a time; the
// previous handlers come back when it goes away.
class SignalPipe {
public:
    SignalPipe();
    SignalPipe(const SignalPipe&) = delete;
    SignalPipe& operator=(const SignalPipe&) = delete;
    ~SignalPipe();

    int readFd() const { return read_.get(); }

    // The number of a signal that arrived, or 0 when none is waiting.
    int take();

private:
    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

    UniqueFd read_;
    UniqueFd write_;
    struct sigaction previous_[std::size(kSignals)] = {};
};

} // namespace velmor::sim
