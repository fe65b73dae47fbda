#include "options.hpp"

#include "number_text.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <string_view>
#include <utility>

namespace velmor::sim {

namespace {

// Longer runs are a typing error; the bound also keeps the millisecond counts in range.
constexpr double kMaxSeconds = 1e6;
constexpr std::uint64_t kMaxDelayMs = 3600 * 1000;

std::optional<double> probability(std::string_view text) {
    const auto value = parseDecimal(text);
    return value && *value >= 0.0 && *value <= 1.0 ? value : std::nullopt;
}

std::optional<double> positive(std::string_view text) {
    const auto value = parseDecimal(text);
    return value && *value > 0.0 ? value : std::nullopt;
}

std::optional<std::chrono::milliseconds> seconds(std::string_view text) {
    const auto value = parseDecimal(text);
    if (!value || *value < 0.0 || *value > kMaxSeconds) {
        return std::nullopt;
    }
    return std::chrono::milliseconds(std::llround(*value * 1000.0));
}

template <std::uint64_t low, std::uint64_t high>
std::optional<std::uint64_t> unsignedIn(std::string_view text) {
    const auto value = parseUnsigned(text);
    return value && *value >= low && *value <= high ? value : std::nullopt;
}

struct Lateness {
    double chance;
    std::chrono::milliseconds by;
};

// "P:MS": a probability and whole milliseconds from 1 to an hour.
std::optional<Lateness> lateness(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    const auto chance = probability(text.substr(0, colon));
    const auto by = unsignedIn<1, kMaxDelayMs>(text.substr(colon + 1));
    if (!chance || !by) {
        return std::nullopt;
    }
    return Lateness{*chance, std::chrono::milliseconds(*by)};
}

std::optional<std::string> nonEmpty(std::string_view text) {
    return text.empty() ? std::nullopt : std::optional<std::string>(text);
}

using Apply = std::function<bool(Options&, std::string_view)>;

// Reads the value with `parse` and, when it is valid, stores it with `store`.
template <typename Parse, typename Store> Apply reader(Parse parse, Store store) {
    return [parse, store](Options& options, std::string_view text) {
        const auto value = parse(text);
        if (value) {
            store(options, *value);
        }
        return value.has_value();
    };
}

struct ValueOption {
    std::string_view name;
    std::string_view expected; // what a valid value looks like, for the error message
    Apply apply;
};

const std::array<ValueOption, 15>& valueOptions() {
    using std::chrono::milliseconds;
    static const std::array<ValueOption, 15> options{{
        {"--com", "a port number from 1 to 255",
         reader(unsignedIn<1, 255>, [](Options& o, auto n) { o.com = static_cast<int>(n); })},
        {"--link-dir", "a folder", reader(nonEmpty, [](Options& o, auto dir) { o.linkDir = dir; })},
        {"--load-ohms", "a resistance above 0",
         reader(positive, [](Options& o, double r) { o.loadOhms = r; })},
        {"--chunk", "a piece size from 1 to 1048576 bytes",
         reader(unsignedIn<1, 1 << 20>, [](Options& o, auto n) { o.chunk = n; })},
        {"--delay", "whole milliseconds from 0 to 3600000",
         reader(unsignedIn<0, kMaxDelayMs>, [](Options& o, auto n) { o.delay = milliseconds(n); })},
        {"--line-rate", "a baud rate from 50 to 4000000",
         reader(unsignedIn<50, 4000000>,
                [](Options& o, auto n) { o.lineRate = static_cast<unsigned>(n); })},
        {"--garbage", "a probability from 0 to 1",
         reader(probability, [](Options& o, double p) { o.garbage = p; })},
        {"--drop", "a probability from 0 to 1",
         reader(probability, [](Options& o, double p) { o.drop = p; })},
        {"--late", "a probability from 0 to 1, a colon and whole milliseconds from 1 to 3600000",
         reader(lateness,
                [](Options& o, Lateness l) {
                    o.lateChance = l.chance;
                    o.lateBy = l.by;
                })},
        {"--vanish-after", "seconds from 0 to 1000000",
         reader(seconds, [](Options& o, milliseconds t) { o.vanishAfter = t; })},
        {"--return-after", "seconds from 0 to 1000000",
         reader(seconds, [](Options& o, milliseconds t) { o.returnAfter = t; })},
        {"--flood", "seconds from 0 to 1000000",
         reader(seconds, [](Options& o, milliseconds t) { o.flood = t; })},
        {"--seed", "a whole number from 0 to 4294967295",
         reader(unsignedIn<0, 0xFFFFFFFF>,
                [](Options& o, auto n) { o.seed = static_cast<std::uint32_t>(n); })},
        {"--log", "a file name", reader(nonEmpty, [](Options& o, auto file) { o.logFile = file; })},
        {"--wire-log", "a file name",
         reader(nonEmpty, [](Options& o, auto file) { o.wireLogFile = file; })},
    }};
    return options;
}

ParsedOptions failure(std::string message) {
    ParsedOptions result;
    result.action = ParsedOptions::Action::Error;
    result.error = std::move(message);
    return result;
}

} // namespace

ParsedOptions parseOptions(const std::vector<std::string>& args) {
    ParsedOptions result;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--help" || arg == "-h") {
            result.action = ParsedOptions::Action::Help;
            return result;
        }
        if (arg == "--quiet") {
            result.options.quiet = true;
            continue;
        }

        const auto equals = arg.find('=');
        const std::string_view name = arg.substr(0, equals);
        const auto& known = valueOptions();
        const auto option = std::find_if(known.begin(), known.end(),
                                         [name](const ValueOption& o) { return o.name == name; });
        if (option == known.end()) {
            return failure(arg.rfind("-", 0) == 0
                               ? "unknown option '" + std::string(arg) + "'"
                               : "unexpected argument '" + std::string(arg) + "'");
        }

        std::string_view value;
        if (equals != std::string_view::npos) {
            value = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            return failure("option " + std::string(name) + " needs a value");
        }
        if (!option->apply(result.options, value)) {
            return failure("invalid value '" + std::string(value) + "' for " + std::string(name) +
                           ": expected " + std::string(option->expected));
        }
    }
    if (result.options.returnAfter && !result.options.vanishAfter) {
        return failure("option --return-after needs --vanish-after");
    }
    return result;
}

std::string helpText(const std::string& program) {
    return "Usage: " + program + R"( [OPTION]...
A simulated two-channel bench power supply on a pseudo-terminal.

It prints the terminal's device path and the port name COMn (one line each),
and publishes the device as the link "comn" in the port-link folder, where the
panel finds it. It answers the supply's command vocabulary, with commands ending
in the letters "CR" and replies ending in CR LF. It stops on SIGINT, SIGTERM,
SIGHUP, or end of input when standard input is a pipe or a terminal, removes
the link and exits with status 0.

Port:
  --com N            publish as COMN, N from 1 to 255 (default 200)
  --link-dir DIR     put the link in DIR (default $XDG_CONFIG_HOME/velmor/ports,
                     or ~/.config/velmor/ports when XDG_CONFIG_HOME is unset)

Supply:
  --load-ohms R      resistance of the load on the output (default 10)

Faults:
  --chunk N          write each reply in pieces of N bytes, 2 ms apart
  --delay MS         answer MS milliseconds late
  --line-rate BAUD   answer once the command and the reply would have crossed
                     a serial line at BAUD (10 bits a byte), one reply at a time
  --garbage P        replace a reply by random bytes with probability P
  --drop P           answer nothing with probability P
  --late P:MS        with probability P answer MS milliseconds late; the replies
                     after a late one wait behind it, in order (e.g. 0.05:1500)
  --vanish-after S   after S seconds close the terminal, as when a USB adapter
                     is pulled out, remove the link and exit
  --return-after S   with --vanish-after: S seconds after vanishing, come back
                     on a new terminal under the same COM number instead of
                     exiting, print the two lines again and serve on
  --flood S          send random bytes as fast as the line takes them for the
                     first S seconds
  --seed N           seed for the random faults, to repeat a run exactly

Other:
  --log FILE         append every command received to FILE, one per line
  --wire-log FILE    append every command and every reply with its fate (sent,
                     late, held, garbled, dropped) to FILE, each after the time
                     in milliseconds since the epoch
  --quiet            no progress notes on standard error
  -h, --help         show this help and exit

Exit status: 0 on a clean end, 1 on a runtime error, 2 on a bad command line.
)";
}

} // namespace velmor::sim
