#include "port_link.hpp"

#include <unistd.h>

namespace velmor::sim {

namespace fs = std::filesystem;

std::optional<fs::path> defaultLinkDir(const char* xdgConfigHome, const char* home) {
    if (xdgConfigHome != nullptr && *xdgConfigHome != '\0') {
        return fs::path(xdgConfigHome) / "velmor" / "ports";
    }
    if (home != nullptr && *home != '\0') {
        return fs::path(home) / ".config" / "velmor" / "ports";
    }
    return std::nullopt;
}

PortLink::PortLink(const fs::path& dir, int com, const std::string& target)
    : path_(dir / ("com" + std::to_string(com))), target_(target) {
    fs::create_directories(dir);
    // Make the new link under a private name and rename it over the old one, so that a reader
    // never sees the name missing or half made.
    const fs::path temporary =
        dir / (".com" + std::to_string(com) + "." + std::to_string(::getpid()));
    std::error_code ignored;
    fs::remove(temporary, ignored);
    fs::create_symlink(target_, temporary);
    std::error_code error;
    fs::rename(temporary, path_, error);
    if (error) {
        fs::remove(temporary, ignored);
        throw fs::filesystem_error("cannot publish the port link", temporary, path_, error);
    }
    published_ = true;
}

void PortLink::remove() {
    if (!published_) {
        return;
    }
    published_ = false;
    std::error_code error;
    if (fs::read_symlink(path_, error) == fs::path(target_) && !error) {
        fs::remove(path_, error);
    }
}

} // namespace velmor::sim
