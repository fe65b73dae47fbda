// Start-up time and resident memory of window programs under an X server.
//
// Each program is started in turn, round after round, so that every program
// meets the same machine load; an unmeasured first round warms the caches.
// A start lasts from just before the fork to the X server's notice that a
// top-level window with the given title was mapped. The resident memory is
// read once the window has been shown for a while.
//
//   bench-startup --title TITLE [--runs N] [--settle-ms MS] PROGRAM...
//
// Prints, per program (by file name): NAME.startup_ms (median), .startup_min_ms,
// .startup_max_ms and .rss_kib (median).
#include "Measure.h"

#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr double TimeoutMs = 30000.0;

struct Options {
    std::string title;
    int runs = 11;
    int settleMs = 1500;
    std::vector<std::string> programs;
};

long residentKibOf(pid_t pid) {
    const std::string path = "/proc/" + std::to_string(pid) + "/status";
    FILE* status = std::fopen(path.c_str(), "r");
    if (!status)
        return 0;
    char line[256];
    long kib = 0;
    while (std::fgets(line, sizeof line, status))
        if (std::sscanf(line, "VmRSS: %ld", &kib) == 1)
            break;
    std::fclose(status);
    return kib;
}

class Screen {
public:
    Screen() : connection_(xcb_connect(nullptr, nullptr)) {
        if (xcb_connection_has_error(connection_))
            return;
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        // Top-level windows are the root's children: their mapping is a
        // substructure change of the root.
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
        netWmName_ = atom("_NET_WM_NAME");
        utf8String_ = atom("UTF8_STRING");
        xcb_flush(connection_);
    }
    ~Screen() { xcb_disconnect(connection_); }
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    bool isValid() const { return !xcb_connection_has_error(connection_); }
    int fd() const { return xcb_get_file_descriptor(connection_); }

    // Takes the events that arrived; true when one of them mapped a window
    // with the title.
    bool titledWindowMapped(const std::string& title) {
        bool mapped = false;
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
                const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
                mapped = mapped || titleOf(map->window) == title;
            }
            std::free(event);
        }
        return mapped;
    }

private:
    xcb_atom_t atom(const char* name) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            connection_,
            xcb_intern_atom(connection_, 0, static_cast<uint16_t>(std::strlen(name)), name),
            nullptr);
        xcb_atom_t found = XCB_ATOM_NONE;
        if (reply)
            found = reply->atom;
        std::free(reply);
        return found;
    }

    std::string titleOf(xcb_window_t window) {
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            connection_, xcb_get_property(connection_, 0, window, netWmName_, utf8String_, 0, 1024),
            nullptr);
        std::string title;
        if (reply)
            title.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                         static_cast<std::size_t>(xcb_get_property_value_length(reply)));
        std::free(reply);
        return title;
    }

    xcb_connection_t* connection_;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    xcb_atom_t netWmName_ = XCB_ATOM_NONE;
    xcb_atom_t utf8String_ = XCB_ATOM_NONE;
};

pid_t launch(const std::string& program) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Standard output stays free for the results.
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return pid;
}

struct Start {
    double mappedMs = -1.0;
    long rssKib = 0;
};

Start measureStart(Screen& screen, const std::string& program, const std::string& title,
                   int settleMs) {
    Start start;
    const double t0 = Measure::nowMs();
    const pid_t pid = launch(program);
    if (pid < 0)
        return start;
    while (Measure::nowMs() - t0 < TimeoutMs) {
        if (screen.titledWindowMapped(title)) {
            start.mappedMs = Measure::nowMs() - t0;
            break;
        }
        if (::waitpid(pid, nullptr, WNOHANG) == pid)
            return start;
        pollfd wait{screen.fd(), POLLIN, 0};
        ::poll(&wait, 1, 20);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
    start.rssKib = residentKibOf(pid);
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    return start;
}

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--title" && hasValue)
            options.title = argv[++i];
        else if (arg == "--runs" && hasValue)
            options.runs = std::atoi(argv[++i]);
        else if (arg == "--settle-ms" && hasValue)
            options.settleMs = std::atoi(argv[++i]);
        else if (arg.rfind("--", 0) == 0)
            return false;
        else
            options.programs.push_back(arg);
    }
    return !options.title.empty() && options.runs > 0 && !options.programs.empty();
}

std::string fileName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: bench-startup --title TITLE [--runs N] [--settle-ms MS] PROGRAM...\n");
        return 2;
    }
    Screen screen;
    if (!screen.isValid()) {
        std::fprintf(stderr, "bench-startup: no X server on DISPLAY\n");
        return 1;
    }
    const std::size_t count = options.programs.size();
    std::vector<std::vector<double>> times(count);
    std::vector<std::vector<double>> rss(count);
    for (int round = 0; round <= options.runs; ++round) {
        for (std::size_t p = 0; p < count; ++p) {
            const Start start =
                measureStart(screen, options.programs[p], options.title, options.settleMs);
            if (start.mappedMs < 0) {
                std::fprintf(stderr, "bench-startup: %s showed no window titled %s\n",
                             options.programs[p].c_str(), options.title.c_str());
                return 1;
            }
            if (round == 0)
                continue;
            times[p].push_back(start.mappedMs);
            rss[p].push_back(static_cast<double>(start.rssKib));
        }
    }
    for (std::size_t p = 0; p < count; ++p) {
        const std::string name = fileName(options.programs[p]);
        std::printf("%s.startup_ms %.1f\n", name.c_str(), Measure::percentile(times[p], 0.5));
        std::printf("%s.startup_min_ms %.1f\n", name.c_str(), times[p].front());
        std::printf("%s.startup_max_ms %.1f\n", name.c_str(), times[p].back());
        std::printf("%s.rss_kib %.0f\n", name.c_str(), Measure::percentile(rss[p], 0.5));
    }
    return 0;
}
