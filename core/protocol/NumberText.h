#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// Number <-> text conversions shared by the entries, the rating lists, the
// replies and the port list. All of them are locale-free: "." is the decimal
// point whatever the system's locale says.
namespace NumberText {

// Reads the number at the start of a text. Blanks, tabs and line feeds are
// skipped wherever they stand; then an optional sign, digits with at most one
// point and an optional exponent (E, e, D or d) are read up to the first
// character that cannot continue the number. "&H" and "&O" prefixes read a
// hexadecimal or octal integer. A text without digits gives 0. A number too
// large for a double gives +-infinity, so that callers can refuse it.
// When found is given, it tells whether any digit was read.
double leadingNumber(QStringView text, bool* found = nullptr);

// The number a mantissa in digits with at most one point ("1.23456") stands
// for once scaled by a power of ten, rounded to a double once: 1.23456 and 1
// give the double nearest 12.3456, where multiplying by ten may not.
double scaledDecimal(QStringView mantissa, int exponent);

// Rounds to the nearest whole number, halves to the even neighbour.
double roundHalfEven(double value);

// Rounds to the nearest whole number (halves to even) when the result fits a
// signed 16-bit integer; nothing otherwise.
std::optional<qint16> toInt16(double value);

// A text that is as a whole one number (blanks around it allowed), rounded
// half to even; nothing when it is not a number or does not fit 16 bits.
std::optional<qint16> wholeTextToInt16(QStringView text);

// "0", "0.105", "12.5", "-3", "1E-05": 15 significant digits, no trailing
// zeros, "0" before the point below 1, exponent form below 1E-04 and from
// 1E15 on.
QString plainDecimal(double value);

// The same digits, but zero and positive values begin with one blank and no
// "0" stands before the point: " 0", " .5", "-.5", " 31.5".
QString blankPrefixed(double value);

// The current captions' form: the blank-prefixed form without blanks, with a
// "0" put back before a leading point ("0.105", "0", "10.5").
QString compactDecimal(double value);

// A read-out's text: the compact form of a magnitude, with the reply's minus
// sign in front unless the magnitude is zero ("12.3456", "-0.5", "0").
QString readOutText(double magnitude, bool negative);

// A number written by a program or typed for one (a recording, a list
// file, a script's argument): the plain decimal and exponent forms only,
// "." as the point whatever the locale, finite, at most 64 characters.
std::optional<double> parseDecimal(QStringView text);

} // namespace NumberText
