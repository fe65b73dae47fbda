#include "sim_process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <thread>

extern char** environ;

namespace velmor::sim::test {

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void fail(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

int msUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<long long>(left.count(), 0));
}

// Reads `fd` up to and including the next line feed.
std::string readLine(int fd) {
    std::string text;
    char c = 0;
    while (text.find('\n') == std::string::npos && ::read(fd, &c, 1) == 1) {
        text += c;
    }
    return text;
}

} // namespace

SimProcess::SimProcess(std::vector<std::string> args, Stdin in) {
    args.insert(args.begin(), {VELMOR_SIM_BINARY, "--link-dir", dir_.path().string()});
    int out[2];
    int input[2] = {-1, -1};
    if (::pipe2(out, O_CLOEXEC) != 0 || (in == Stdin::Pipe && ::pipe2(input, O_CLOEXEC) != 0)) {
        fail("pipe2");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (in == Stdin::Pipe) {
        posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    }
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const int error = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (in == Stdin::Pipe) {
        ::close(input[0]);
        stdin_ = input[1];
    }
    if (error != 0) {
        errno = error;
        fail("posix_spawn");
    }
    // Both lines come at once after publishing; reading blocks until then.
    device_ = readLine(out[0]);
    port_ = readLine(out[0]);
    ::close(out[0]);
    if (device_.empty() || port_.empty()) {
        throw std::runtime_error("the simulator did not start");
    }
    device_.pop_back();
    port_.pop_back();
}

SimProcess::~SimProcess() {
    if (running()) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    closeStdin();
}

void SimProcess::signal(int signo) const {
    ::kill(pid_, signo);
}

void SimProcess::closeStdin() {
    if (stdin_ >= 0) {
        ::close(stdin_);
        stdin_ = -1;
    }
}

std::optional<int> SimProcess::waitExit(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    do {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(10ms);
    } while (Clock::now() < deadline);
    return std::nullopt;
}

bool SimProcess::running() {
    return pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0;
}

Client::Client(const std::filesystem::path& port)
    : fd_(::open(port.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    termios settings{};
    if (fd_ >= 0 && ::tcgetattr(fd_, &settings) == 0) {
        ::cfmakeraw(&settings);
        ::tcsetattr(fd_, TCSANOW, &settings);
    }
}

Client::~Client() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void Client::send(const std::string& bytes) const {
    if (::write(fd_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        fail("client write");
    }
}

long Client::readOnce(std::chrono::milliseconds timeout) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(timeout.count())) != 1) {
        return -ETIMEDOUT;
    }
    char buffer[4096];
    const ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n < 0) {
        return -errno;
    }
    reads_ += n > 0;
    buffered_.append(buffer, static_cast<std::size_t>(n));
    return n;
}

std::string Client::receive(std::size_t count, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    const auto end = [&] {
        const auto crlf = buffered_.find("\r\n");
        return count > 0 ? (buffered_.size() >= count ? count : std::string::npos)
                         : (crlf == std::string::npos ? crlf : crlf + 2);
    };
    while (end() == std::string::npos &&
           readOnce(std::chrono::milliseconds(msUntil(deadline))) > 0) {
    }
    const std::size_t taken = std::min(end(), buffered_.size());
    std::string text = buffered_.substr(0, taken);
    buffered_.erase(0, taken);
    return text;
}

std::size_t Client::drain(std::chrono::milliseconds quiet) {
    std::size_t count = buffered_.size();
    buffered_.clear();
    while (readOnce(quiet) > 0) {
        count += buffered_.size();
        buffered_.clear();
    }
    return count;
}

} // namespace velmor::sim::test
