#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace velmor::sim {

// The folder where the panel looks for port links: $XDG_CONFIG_HOME/velmor/ports when that
// variable is set and not empty, else $HOME/.config/velmor/ports. Nothing when neither is set.
std::optional<std::filesystem::path> defaultLinkDir(const char* xdgConfigHome, const char* home);

// Publishes the pseudo-terminal as port COMn: a symbolic link "comn" in the link folder that
// points at the slave device. The folder is created when missing and a stale link of the same
// name is replaced. The link is removed again when the object goes away, but only while it
// still points at this device, so a newer simulator that took the name over keeps its link.
class PortLink {
public:
    // Throws std::filesystem::filesystem_error when the link cannot be made.
    PortLink(const std::filesystem::path& dir, int com, const std::string& target);
    PortLink(const PortLink&) = delete;
    PortLink& operator=(const PortLink&) = delete;
    ~PortLink() { remove(); }

    const std::filesystem::path& path() const { return path_; }
    void remove();

private:
    std::filesystem::path path_;
    std::string target_;
    bool published_ = false;
};

} // namespace velmor::sim
