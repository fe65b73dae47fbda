#pragma once

#include "command_framer.hpp"
#include "command_log.hpp"
#include "fault_injector.hpp"
#include "instrument.hpp"
#include "line_pacer.hpp"
#include "options.hpp"
#include "port_link.hpp"
#include "pty_port.hpp"
#include "signal_pipe.hpp"
#include "supply_model.hpp"
#include "write_queue.hpp"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

namespace velmor::sim {

// The program's single-threaded main loop: one poll() over the pseudo-terminal, standard input
// (when it is a pipe or a terminal, whose end means "stop") and the signal pipe. Replies wait in
// a timed queue, so delayed and chunked answers never hold up reading the next command.
class Simulator {
public:
    // Opens the terminal and publishes it in `linkDir`; throws on failure.
    Simulator(const Options& options, const std::filesystem::path& linkDir);

    // Prints the device path and port name, then serves until told to stop or until the
    // terminal vanishes for good; throws when the line fails. The link and the terminal go
    // away with the object.
    void run();

private:
    using Clock = std::chrono::steady_clock;

    // One round of the loop: false when it is time to end.
    bool serveOnce();
    // Closes the terminal and removes the link, as when the adapter is pulled out.
    void vanish();
    // A new terminal under the same port number, as when the adapter is plugged in again.
    void comeBack();
    void announce() const;
    void receive(Clock::time_point now);
    // Spoils, times and queues the reply to `command`.
    void queueReply(const std::string& command, std::string reply, Clock::time_point now);
    void sendDue(Clock::time_point now);
    void flood();
    bool readStdin(); // false when standard input ended
    // How long to wait for the next timed event; nothing when none is due.
    std::optional<Clock::duration> pollTimeout(Clock::time_point now) const;
    void note(const std::string& text) const;

    Options options_;
    std::filesystem::path linkDir_;
    SignalPipe signals_; // first, so that no signal can skip the link's removal
    // Both absent between vanishing and coming back.
    std::optional<PtyPort> pty_;
    std::optional<PortLink> link_;
    std::optional<CommandLog> log_;
    std::optional<WireLog> wireLog_;
    SupplyModel model_;
    Instrument instrument_;
    FaultInjector faults_;
    WriteQueue queue_;
    LinePacer pacer_;
    CommandFramer framer_;
    bool watchStdin_;
    bool masterWritable_ = true;
    Clock::time_point floodEnd_;
    std::optional<Clock::time_point> vanishAt_;
    std::optional<Clock::time_point> returnAt_;
};

} // namespace velmor::sim
