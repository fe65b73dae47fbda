#pragma once

#include "support.hpp"

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace velmor::sim::test {

using namespace std::chrono_literals;

enum class Stdin { DevNull, Pipe };

// The real simulator, publishing COM200 in a private folder. Its two lines of standard
// output (device path and port name) are read at start.
class SimProcess {
public:
    explicit SimProcess(std::vector<std::string> args, Stdin in = Stdin::DevNull);
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;
    ~SimProcess();

    std::filesystem::path link() const { return dir_.path() / "com200"; }
    const std::string& devicePath() const { return device_; }
    const std::string& portName() const { return port_; }

    void signal(int signo) const;
    void closeStdin();
    // The exit status, or nothing if it still runs after `timeout`.
    std::optional<int> waitExit(std::chrono::milliseconds timeout = 5s);
    bool running();

private:
    TempDir dir_;
    pid_t pid_ = -1;
    int stdin_ = -1;
    std::string device_;
    std::string port_;
};

// A serial client on the published port, opened raw as the panel opens it.
class Client {
public:
    explicit Client(const std::filesystem::path& port);
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;
    ~Client();

    bool opened() const { return fd_ >= 0; }
    void send(const std::string& bytes) const;
    // The next `count` bytes, or up to and including the next CR LF when `count` is 0; less
    // when `timeout` runs out first.
    std::string receive(std::size_t count = 0, std::chrono::milliseconds timeout = 3s);
    // One read once the port reports something: the byte count, 0 at end of file, -errno on
    // error, -ETIMEDOUT when nothing happened.
    long readOnce(std::chrono::milliseconds timeout);
    int reads() const { return reads_; } // reads that returned data
    // Discards all that arrives until the line has been quiet for `quiet`; returns the count.
    std::size_t drain(std::chrono::milliseconds quiet);

private:
    int fd_ = -1;
    int reads_ = 0;
    std::string buffered_;
};

} // namespace velmor::sim::test
