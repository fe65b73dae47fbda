#include "SignalPipe.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The write end for the handler; one pipe a process.
int gWriteEnd = -1;
int gReadEnd = -1;

void onSignal(int number) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    // Async-signal-safe; a full pipe already holds a wake-up.
    [[maybe_unused]] const ssize_t written = ::write(gWriteEnd, &byte, 1);
    errno = saved;
}

} // namespace

SignalPipe::SignalPipe(QObject* parent) : QObject(parent) {
    int ends[2];
    if (gWriteEnd >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return;
    for (int end : ends)
        ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK);
    gReadEnd = ends[0];
    gWriteEnd = ends[1];
    owner_ = true;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (::sigaction(SIGTERM, &action, nullptr) != 0 || ::sigaction(SIGINT, &action, nullptr) != 0)
        return;
    notifier_ = new QSocketNotifier(gReadEnd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SignalPipe::readSignal);
}

SignalPipe::~SignalPipe() {
    if (!owner_)
        return;
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    ::close(gReadEnd);
    ::close(gWriteEnd);
    gReadEnd = gWriteEnd = -1;
}

void SignalPipe::readSignal() {
    unsigned char byte = 0;
    while (::read(gReadEnd, &byte, 1) == 1)
        emit received(byte);
}
