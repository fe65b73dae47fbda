#include "signal_pipe.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>

namespace velmor::sim {

namespace {

volatile sig_atomic_t gWriteFd = -1;

extern "C" void forwardSignal(int signo) {
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signo);
    // A full pipe already holds a wake-up, so a failed write loses nothing.
    [[maybe_unused]] const ssize_t written = ::write(gWriteFd, &byte, 1);
    errno = savedErrno;
}

} // namespace

SignalPipe::SignalPipe() {
    if (gWriteFd != -1) {
        throw std::logic_error("only one SignalPipe may exist");
    }
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) {
        throw std::system_error(errno, std::generic_category(), "pipe2");
    }
    read_ = UniqueFd(fds[0]);
    write_ = UniqueFd(fds[1]);
    gWriteFd = write_.get();

    struct sigaction action {};
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        ::sigaction(kSignals[i], &action, &previous_[i]);
    }
}

SignalPipe::~SignalPipe() {
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        ::sigaction(kSignals[i], &previous_[i], nullptr);
    }
    gWriteFd = -1;
}

int SignalPipe::take() {
    unsigned char byte = 0;
    return ::read(read_.get(), &byte, 1) == 1 ? byte : 0;
}

} // namespace velmor::sim
