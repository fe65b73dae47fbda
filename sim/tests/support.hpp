#pragma once

#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <optional>
#include <regex>
#include <stdexcept>
#include <string>

namespace velmor::sim::test {

// Reads a 12-character number reply back as the panel does, independently of the simulator's
// code: sign, mantissa (a leading "A" stands for "10"), "E", exponent sign and two digits.
inline std::optional<double> decodeNumberReply(const std::string& reply) {
    static const std::regex form(R"(^([+-])(A|[0-9])\.([0-9]{5})E([+-][0-9]{2})$)");
    std::smatch parts;
    if (!std::regex_match(reply, parts, form)) {
        return std::nullopt;
    }
    const std::string lead = parts[2] == "A" ? "10" : parts[2].str();
    const double value =
        std::stod(lead + "." + parts[3].str()) * std::pow(10.0, std::stoi(parts[4]));
    return parts[1] == "-" ? -value : value;
}

// True when `decoded` equals `expected` to the six significant digits of a reply.
inline bool sameToSixDigits(double decoded, double expected) {
    return std::fabs(decoded - expected) <= 5.0000001e-6 * std::fabs(expected);
}

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::string pattern = std::filesystem::temp_directory_path() / "velmor-sim-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        path_ = pattern;
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

} // namespace velmor::sim::test
