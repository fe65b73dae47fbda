#include "pty_port.hpp"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>

#include <cerrno>
#include <system_error>

namespace velmor::sim {

namespace {

[[noreturn]] void fail(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

} // namespace

PtyPort::PtyPort() {
    master_ = UniqueFd(::posix_openpt(O_RDWR | O_NOCTTY));
    if (!master_.valid()) {
        fail("posix_openpt");
    }
    // The main loop must never block on the line.
    const int flags = ::fcntl(master_.get(), F_GETFL);
    if (flags < 0 || ::fcntl(master_.get(), F_SETFL, flags | O_NONBLOCK) != 0 ||
        ::fcntl(master_.get(), F_SETFD, FD_CLOEXEC) != 0) {
        fail("fcntl");
    }
    if (::grantpt(master_.get()) != 0 || ::unlockpt(master_.get()) != 0) {
        fail("cannot unlock the pseudo-terminal");
    }
    char name[128];
    if (const int error = ::ptsname_r(master_.get(), name, sizeof name); error != 0) {
        errno = error;
        fail("ptsname_r");
    }
    slavePath_ = name;

    slave_ = UniqueFd(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!slave_.valid()) {
        fail("cannot open the pseudo-terminal's slave side");
    }
    termios settings{};
    if (::tcgetattr(slave_.get(), &settings) != 0) {
        fail("tcgetattr");
    }
    ::cfmakeraw(&settings);
    if (::tcsetattr(slave_.get(), TCSANOW, &settings) != 0) {
        fail("tcsetattr");
    }
}

void PtyPort::close() {
    slave_.reset();
    master_.reset();
}

} // namespace velmor::sim
