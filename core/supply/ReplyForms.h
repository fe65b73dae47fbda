#pragma once

#include "SupplyModel.h"

#include <QString>

#include <functional>
#include <optional>

// The forms a reply of the supply takes, read the same way whoever asked:
// the polling decoder and a script client's query use these and nothing else.
namespace ReplyForms {

// An identification needs this many characters, a CR and a ",".
inline constexpr int IdentityMinLength = 24;
// A version needs this many characters and a CR.
inline constexpr int VersionMinLength = 4;
// An output, mode or channel reply: this many characters, a CR and an LF.
inline constexpr int ShortReplyMinLength = 3;
// A number line is at least this long with its LF; its first NumberTextLength
// characters count.
inline constexpr int NumberLineMinLength = 14;
inline constexpr int NumberTextLength = 12;

// The identification or version text: up to and including the first CR of a
// text that holds enough characters (and a "," for the identification).
std::optional<QString> identityLine(const QString& text);
std::optional<QString> versionLine(const QString& text);
// The text before the CR and LF, for a label or a reading.
QString withoutLineEnds(QString text);

// A complete short reply holds at least 3 characters, a CR and an LF.
bool isShortReply(const QString& text);
// The output state of a short reply: its first character "0" or "1".
std::optional<OutputState> outputState(const QString& text);
// A short reply whose text before its CR is one whole number from low to
// high, as "2" or " 1 "; noise, an error text or "2x" is none.
std::optional<int> wholeNumber(const QString& text, int low, int high);

// A number line's 12 characters, split: sign, mantissa (a leading "A"
// already read as "10") and exponent. Nothing for a text not in the form.
struct NumberForm {
    bool negative = false;
    QString mantissa;
    int exponent = 0;
};
std::optional<NumberForm> numberForm(const QString& text12);
// The magnitude as the read-out shows it: the mantissa scaled one factor of
// ten at a time, `beforeEachFactor` running before each.
double shownMagnitude(const NumberForm& form, const std::function<void()>& beforeEachFactor = {});
// The reading itself: the decimal number, correctly rounded; a "-" before a
// zero reads as plain zero.
double readingOf(const NumberForm& form);

// A whole number line (up to and including its LF): its reading and its
// read-out text, or nothing when the line is not one.
struct NumberReading {
    double value = 0;
    QString shown;
};
std::optional<NumberReading> numberLine(const QString& line);

} // namespace ReplyForms
