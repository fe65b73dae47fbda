#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmor::sim {

// Reads a plain decimal such as "12.5", "-0.5", "+3" or "1E-05". The whole text must be the
// number; non-finite values and anything else give nothing. Independent of the process locale.
std::optional<double> parseDecimal(std::string_view text);

// Reads a whole unsigned decimal integer ("200"); no sign, no blanks.
std::optional<std::uint64_t> parseUnsigned(std::string_view text);

// The 12-character number reply: sign, mantissa d.ddddd, "E", exponent sign, two exponent
// digits ("+1.23456E+01"). The exponent is that of the unrounded value, so a mantissa that
// rounds up to 10 is written "A.00000". Magnitudes beyond the two-digit exponent are clamped
// to the largest reply, those below it read as zero.
std::string formatNumberReply(double value);

} // namespace velmor::sim
