#include "options.hpp"
#include "port_link.hpp"
#include "simulator.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <exception>
#include <iostream>

namespace {

constexpr const char* kProgram = "velmor-supply-sim";

// Started with a standard descriptor closed (as some CI runners do with standard input), the
// pseudo-terminal could receive descriptor 0 or 1 and be mistaken for it.
void keepStandardDescriptorsOpen() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) < 0) {
            ::open("/dev/null", O_RDWR);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    using velmor::sim::ParsedOptions;
    keepStandardDescriptorsOpen();

    const ParsedOptions parsed = velmor::sim::parseOptions({argv + 1, argv + argc});
    switch (parsed.action) {
    case ParsedOptions::Action::Help:
        std::cout << velmor::sim::helpText(kProgram);
        return EXIT_SUCCESS;
    case ParsedOptions::Action::Error:
        std::cerr << kProgram << ": " << parsed.error << "\nTry '" << kProgram
                  << " --help' for more information.\n";
        return 2;
    case ParsedOptions::Action::Run:
        break;
    }

    // A closed standard output must not kill the simulator, and a read of the terminal from
    // the background must fail rather than stop the process.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGTTIN, SIG_IGN);

    const auto& options = parsed.options;
    const auto linkDir =
        options.linkDir.empty()
            ? velmor::sim::defaultLinkDir(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"))
            : std::optional<std::filesystem::path>(options.linkDir);
    if (!linkDir) {
        std::cerr << kProgram << ": neither XDG_CONFIG_HOME nor HOME is set; use --link-dir\n";
        return EXIT_FAILURE;
    }

    try {
        velmor::sim::Simulator(options, *linkDir).run();
        return EXIT_SUCCESS;
    } catch (const std::exception& error) {
        std::cerr << kProgram << ": " << error.what() << '\n';
        return EXIT_FAILURE;
    }
}
