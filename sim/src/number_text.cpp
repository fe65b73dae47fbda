#include "number_text.hpp"

#include <charconv>
#include <cmath>

namespace velmor::sim {

namespace {

constexpr long long kMantissaScale = 100000; // five digits after the point

void appendTwoDigits(std::string& out, int value) {
    out += static_cast<char>('0' + value / 10);
    out += static_cast<char>('0' + value % 10);
}

} // namespace

std::optional<double> parseDecimal(std::string_view text) {
    // from_chars accepts no leading "+", but callers may write one.
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') {
            return std::nullopt;
        }
    }
    if (text.empty()) {
        return std::nullopt;
    }
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::uint64_t> parseUnsigned(std::string_view text) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return value;
}

std::string formatNumberReply(double value) {
    const double magnitude = std::fabs(value);
    // The reply has two exponent digits, so the range is 1E-99 up to just below 1E+100.
    if (!(magnitude >= 1e-99)) {
        return "+0.00000E+00";
    }
    std::string out(1, value < 0 ? '-' : '+');
    if (magnitude >= 1e100) {
        return out + "9.99999E+99";
    }

    int exponent = static_cast<int>(std::floor(std::log10(magnitude)));
    double mantissa = magnitude / std::pow(10.0, exponent);
    // log10 can land one off right at a power of ten.
    if (mantissa >= 10.0) {
        mantissa /= 10.0;
        ++exponent;
    } else if (mantissa < 1.0) {
        mantissa *= 10.0;
        --exponent;
    }

    const long long digits = std::llround(mantissa * kMantissaScale);
    const long long whole = digits / kMantissaScale;
    out += whole >= 10 ? 'A' : static_cast<char>('0' + whole);
    out += '.';
    std::string fraction = std::to_string(digits % kMantissaScale);
    out.append(5 - fraction.size(), '0');
    out += fraction;

    out += 'E';
    out += exponent < 0 ? '-' : '+';
    appendTwoDigits(out, std::abs(exponent));
    return out;
}

} // namespace velmor::sim
