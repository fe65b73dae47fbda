#include "simulator.hpp"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <iostream>
#include <iterator>
#include <random>
#include <system_error>

namespace velmor::sim {

namespace {

constexpr std::size_t kReadSize = 4096;
constexpr std::size_t kFloodBlock = 4096;
constexpr auto kChunkGap = std::chrono::milliseconds(2);

// Scripts start the simulator in the background with standard input from /dev/null, which is
// at its end at once; only a pipe or a terminal can say "stop" by ending.
bool stdinCanSignalEnd() {
    struct stat info {};
    if (::fstat(STDIN_FILENO, &info) != 0) {
        return false;
    }
    return S_ISFIFO(info.st_mode) || ::isatty(STDIN_FILENO) == 1;
}

[[noreturn]] void fail(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

} // namespace

Simulator::Simulator(const Options& options, const std::filesystem::path& linkDir)
    : options_(options), linkDir_(linkDir), pty_(std::in_place),
      link_(std::in_place, linkDir, options.com, pty_->slavePath()), model_(options.loadOhms),
      instrument_(model_, simulatorIdentity(options.com)),
      faults_(options.drop, options.garbage, options.seed ? *options.seed : std::random_device{}(),
              options.lateChance, options.lateBy),
      queue_(WriteQueue::Settings{options.chunk, options.delay, kChunkGap}),
      pacer_(options.lineRate), watchStdin_(stdinCanSignalEnd()) {
    if (!options.logFile.empty()) {
        log_.emplace(options.logFile);
    }
    if (!options.wireLogFile.empty()) {
        wireLog_.emplace(options.wireLogFile);
    }
}

void Simulator::run() {
    announce();

    const Clock::time_point start = Clock::now();
    floodEnd_ = start + options_.flood;
    if (options_.vanishAfter) {
        vanishAt_ = start + *options_.vanishAfter;
    }
    while (serveOnce()) {
    }
}

bool Simulator::serveOnce() {
    Clock::time_point now = Clock::now();
    if (vanishAt_ && now >= *vanishAt_) {
        vanishAt_.reset();
        vanish();
        if (!options_.returnAfter) {
            return false;
        }
        returnAt_ = now + *options_.returnAfter;
    }
    if (returnAt_ && now >= *returnAt_) {
        returnAt_.reset();
        comeBack();
    }
    sendDue(now);

    const bool flooding = now < floodEnd_;
    const bool waitWritable = flooding || (!masterWritable_ && !queue_.due(now).empty());
    pollfd fds[] = {
        {signals_.readFd(), POLLIN, 0},
        // poll() skips a negative descriptor.
        {pty_ ? pty_->master() : -1, static_cast<short>(POLLIN | (waitWritable ? POLLOUT : 0)), 0},
        {watchStdin_ ? STDIN_FILENO : -1, POLLIN, 0},
    };
    const std::optional<Clock::duration> wait = pollTimeout(now);
    timespec timeout{};
    if (wait) {
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(*wait).count();
        timeout.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
        timeout.tv_nsec = static_cast<long>(ns % 1'000'000'000);
    }
    // To the nanosecond rather than the millisecond: a reply paced at a line
    // rate is due at a time of its own, not at the next whole millisecond.
    if (::ppoll(fds, std::size(fds), wait ? &timeout : nullptr, nullptr) < 0) {
        if (errno != EINTR) {
            fail("poll");
        }
        return true;
    }

    if (fds[0].revents != 0) {
        note("stopped by signal " + std::to_string(signals_.take()));
        return false;
    }
    if (fds[2].revents != 0 && !readStdin()) {
        note("stopped at the end of standard input");
        return false;
    }
    now = Clock::now();
    if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
        receive(now);
    }
    if (fds[1].revents & POLLOUT) {
        masterWritable_ = true;
    }
    sendDue(now);
    if (flooding && (fds[1].revents & POLLOUT) && queue_.due(now).empty()) {
        flood();
    }
    return true;
}

void Simulator::receive(Clock::time_point now) {
    char buffer[kReadSize];
    const ssize_t count = ::read(pty_->master(), buffer, sizeof buffer);
    if (count < 0) {
        if (errno == EAGAIN || errno == EINTR) {
            return;
        }
        // The simulator holds the slave side open itself, so this is no client going away.
        fail("reading the pseudo-terminal");
    }
    for (const std::string& command :
         framer_.feed(std::string_view(buffer, static_cast<std::size_t>(count)))) {
        if (log_) {
            log_->record(command);
        }
        if (wireLog_) {
            wireLog_->command(command, std::chrono::system_clock::now());
        }
        if (auto reply = instrument_.handle(command)) {
            queueReply(command, std::move(*reply), now);
        }
    }
}

void Simulator::queueReply(const std::string& command, std::string reply, Clock::time_point now) {
    const std::optional<std::string> spoiled = faults_.apply(reply);
    if (!spoiled) {
        if (wireLog_) {
            wireLog_->reply("dropped", reply, std::chrono::system_clock::now());
        }
        return;
    }
    // The command went on the line with its two end letters.
    const auto paced = pacer_.replyDue(now, command.size() + 2, spoiled->size());
    const auto late = faults_.lateness();
    // The queue keeps replies in order, so those after a late one wait behind it.
    if (!queue_.push(*spoiled, paced + late) || !wireLog_) {
        return;
    }
    const Clock::time_point leaves = *queue_.lastDue();
    const bool held = leaves > paced + late + options_.delay + kChunkGap * spoiled->size();
    const char* fate = *spoiled != reply  ? "garbled"
                       : late.count() > 0 ? "late"
                       : held             ? "held"
                                          : "sent";
    wireLog_->reply(
        fate, *spoiled,
        std::chrono::system_clock::now() +
            std::chrono::duration_cast<std::chrono::system_clock::duration>(leaves - now));
}

void Simulator::sendDue(Clock::time_point now) {
    while (pty_ && masterWritable_) {
        const std::string_view piece = queue_.due(now);
        if (piece.empty()) {
            return;
        }
        const ssize_t written = ::write(pty_->master(), piece.data(), piece.size());
        if (written >= 0) {
            queue_.consume(static_cast<std::size_t>(written));
        } else if (errno == EAGAIN) {
            masterWritable_ = false;
        } else if (errno != EINTR) {
            fail("writing the pseudo-terminal");
        }
    }
}

void Simulator::flood() {
    const std::string noise = faults_.noise(kFloodBlock);
    // What does not fit is noise too: it is simply not sent.
    if (::write(pty_->master(), noise.data(), noise.size()) < 0) {
        if (errno == EAGAIN) {
            masterWritable_ = false;
        } else if (errno != EINTR) {
            fail("writing the pseudo-terminal");
        }
    }
}

bool Simulator::readStdin() {
    char buffer[kReadSize];
    const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (count == 0) {
        return false;
    }
    if (count < 0 && errno != EAGAIN && errno != EINTR) {
        // A terminal read from the background fails; the terminal can no longer tell us to stop.
        watchStdin_ = false;
    }
    return true;
}

void Simulator::vanish() {
    // The link goes first, so that whoever sees the hang-up no longer finds the port.
    link_.reset();
    pty_.reset();
    note("the terminal vanished");
}

void Simulator::comeBack() {
    pty_.emplace();
    link_.emplace(linkDir_, options_.com, pty_->slavePath());
    // What was on its way to the old terminal is lost with it; the supply itself kept its
    // settings, as a supply does when only its adapter was replugged.
    framer_ = CommandFramer();
    queue_ = WriteQueue(WriteQueue::Settings{options_.chunk, options_.delay, kChunkGap});
    masterWritable_ = true;
    announce();
}

void Simulator::announce() const {
    std::cout << pty_->slavePath() << '\n' << "COM" << options_.com << std::endl;
    note("COM" + std::to_string(options_.com) + " is " + pty_->slavePath() + ", linked as " +
         link_->path().string());
}

std::optional<Simulator::Clock::duration> Simulator::pollTimeout(Clock::time_point now) const {
    std::optional<Clock::time_point> wake = vanishAt_;
    const auto earliest = [&wake](Clock::time_point t) {
        if (!wake || t < *wake) {
            wake = t;
        }
    };
    if (returnAt_) {
        earliest(*returnAt_);
    }
    if (now < floodEnd_) {
        earliest(floodEnd_);
    }
    if (const auto due = queue_.nextDue(); due && *due > now) {
        earliest(*due);
    }
    if (!wake) {
        return std::nullopt;
    }
    return std::max(*wake - now, Clock::duration::zero());
}

void Simulator::note(const std::string& text) const {
    if (!options_.quiet) {
        std::cerr << "velmor-supply-sim: " << text << std::endl;
    }
}

} // namespace velmor::sim
