#pragma once

#include <QStringView>

#include <chrono>
#include <optional>

// A span of time as an operator types it: whole numbers with the units h, m
// and s, largest first, each unit at most once ("90s", "15m", "2h", "1h30m",
// "1h30m15s"), any case, no blanks.
namespace DurationText {

// A week, as the longest step of a programmed run; and far inside what a
// timer's milliseconds hold.
inline constexpr std::chrono::seconds Longest{7 * 24 * 3600};

// Nothing for any other text, for a span of zero and for one beyond Longest.
std::optional<std::chrono::seconds> parse(QStringView text);

} // namespace DurationText
