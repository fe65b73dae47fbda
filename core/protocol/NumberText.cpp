#include "NumberText.h"

#include <QByteArray>

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace NumberText {
namespace {

bool isSkippedBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The text with every skipped blank removed, as Latin-1; anything outside
// Latin-1 ends a number anyway, so it becomes a character that cannot
// continue one.
std::string compacted(QStringView text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    for (QChar c : text) {
        if (isSkippedBlank(c))
            continue;
        out.push_back(c.unicode() < 0x80 ? static_cast<char>(c.unicode()) : '\x7f');
    }
    return out;
}

// "&H" / "&O" integers take the narrowest of 16 or 32 bits and are read as
// signed there, so that &HFFFF is -1.
double radixInteger(const std::string& s, std::size_t pos, int base, bool* found) {
    unsigned long long value = 0;
    std::size_t digits = 0;
    for (; pos < s.size(); ++pos) {
        const char c = s[pos];
        int d = -1;
        if (isDigit(c))
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        if (d < 0 || d >= base)
            break;
        if (value > 0xFFFFFFFFull) {
            if (found)
                *found = true;
            return std::numeric_limits<double>::infinity();
        }
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(d);
        ++digits;
    }
    if (digits == 0)
        return 0.0;
    if (found)
        *found = true;
    if (value <= 0xFFFFull)
        return static_cast<qint16>(static_cast<quint16>(value));
    if (value <= 0xFFFFFFFFull)
        return static_cast<qint32>(static_cast<quint32>(value));
    return std::numeric_limits<double>::infinity();
}

struct Scientific {
    bool negative = false;
    std::string digits; // significant digits, no trailing zeros, at least one
    int exponent = 0;   // value = d.ddd x 10^exponent
    bool zero = false;
};

// The largest value with 15 significant digits that a double can hold.
constexpr double kLargest15Digits = 1.79769313486231e308;

// A double's exact decimal expansion has at most 767 significant digits.
constexpr int kAllDigits = 767;

// Qt's own conversion, correctly rounded, whose code the toolkit has in
// memory already: `decimals` digits after the first, as digits and exponent.
Scientific qtScientific(double value, int decimals) {
    const std::string text = QByteArray::number(value, 'e', decimals).toStdString();
    Scientific sci;
    std::size_t pos = 0;
    if (text[pos] == '-') {
        sci.negative = true;
        ++pos;
    }
    const std::size_t e = text.find('e', pos);
    for (std::size_t i = pos; i < e; ++i)
        if (isDigit(text[i]))
            sci.digits.push_back(text[i]);
    sci.exponent = std::stoi(text.substr(e + 1));
    return sci;
}

// Cuts the digits to 15, rounding what is cut off to the nearest, a tie
// (a 5 and nothing after it) to the even digit.
void roundTo15Digits(Scientific& sci) {
    constexpr std::size_t kept = 15;
    if (sci.digits.size() <= kept)
        return;
    const char first = sci.digits[kept];
    const bool beyondHalf = sci.digits.find_first_not_of('0', kept + 1) != std::string::npos;
    const bool oddLast = (sci.digits[kept - 1] - '0') % 2 == 1;
    const bool up = first > '5' || (first == '5' && (beyondHalf || oddLast));
    sci.digits.resize(kept);
    if (!up)
        return;
    std::size_t i = kept;
    while (i > 0 && sci.digits[i - 1] == '9')
        sci.digits[--i] = '0';
    if (i == 0) {
        sci.digits.insert(sci.digits.begin(), '1');
        sci.digits.pop_back();
        ++sci.exponent;
    } else {
        ++sci.digits[i - 1];
    }
}

// The value to 15 significant digits, halves to the even digit as the 16-bit
// conversions round theirs: Qt's conversion rounds a tie away from zero.
Scientific scientific(double value) {
    // Rounding the largest doubles to 15 digits would carry them past the
    // largest double, and their text would no longer read back as a number.
    if (std::abs(value) > kLargest15Digits)
        value = std::copysign(kLargest15Digits, value);
    // Two digits beyond the fifteenth decide the rounding unless they read
    // "50": then only the exact expansion tells a tie from a value beside it.
    Scientific sci = qtScientific(value, 16);
    if (sci.digits.compare(15, 2, "50") == 0)
        sci = qtScientific(value, kAllDigits - 1);
    roundTo15Digits(sci);
    while (sci.digits.size() > 1 && sci.digits.back() == '0')
        sci.digits.pop_back();
    sci.zero = sci.digits == "0";
    return sci;
}

QString format(double value, bool blankPrefix) {
    if (!std::isfinite(value))
        return QString::number(value);
    const Scientific sci = scientific(value);
    if (sci.zero)
        return blankPrefix ? QStringLiteral(" 0") : QStringLiteral("0");

    std::string out;
    if (sci.negative)
        out.push_back('-');
    else if (blankPrefix)
        out.push_back(' ');

    if (sci.exponent < -4 || sci.exponent >= 15) {
        out.push_back(sci.digits[0]);
        if (sci.digits.size() > 1) {
            out.push_back('.');
            out.append(sci.digits, 1, std::string::npos);
        }
        out.push_back('E');
        out.push_back(sci.exponent < 0 ? '-' : '+');
        const std::string exp = std::to_string(std::abs(sci.exponent));
        if (exp.size() < 2)
            out.push_back('0');
        out.append(exp);
    } else if (sci.exponent < 0) {
        if (!blankPrefix)
            out.push_back('0');
        out.push_back('.');
        out.append(static_cast<std::size_t>(-sci.exponent - 1), '0');
        out.append(sci.digits);
    } else {
        const auto intDigits = static_cast<std::size_t>(sci.exponent) + 1;
        if (sci.digits.size() <= intDigits) {
            out.append(sci.digits);
            out.append(intDigits - sci.digits.size(), '0');
        } else {
            out.append(sci.digits, 0, intDigits);
            out.push_back('.');
            out.append(sci.digits, intDigits, std::string::npos);
        }
    }
    return QString::fromLatin1(out.data(), static_cast<qsizetype>(out.size()));
}

// Digits with at most one point among them, at least one digit, a sign
// before them perhaps, and perhaps an exponent after them: one of the
// exponent letters, a sign perhaps, digits. Nothing else, no blanks.
bool isPlainNumber(QStringView text, QLatin1StringView exponentLetters) {
    const auto isDigitAt = [&text](qsizetype i) {
        return i < text.size() && text[i] >= u'0' && text[i] <= u'9';
    };
    const auto skipSign = [&text](qsizetype& i) {
        if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
            ++i;
    };
    qsizetype i = 0;
    skipSign(i);
    qsizetype digits = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        if (isDigitAt(i))
            ++digits;
        else if (text[i] == u'.' && !point)
            point = true;
        else
            break;
    }
    if (digits == 0)
        return false;
    if (i < text.size() && exponentLetters.contains(text[i])) {
        ++i;
        skipSign(i);
        if (!isDigitAt(i))
            return false;
        while (isDigitAt(i))
            ++i;
    }
    return i == text.size();
}

} // namespace

double leadingNumber(QStringView text, bool* found) {
    if (found)
        *found = false;
    const std::string s = compacted(text);
    if (s.size() >= 2 && s[0] == '&') {
        if (s[1] == 'H' || s[1] == 'h')
            return radixInteger(s, 2, 16, found);
        if (s[1] == 'O' || s[1] == 'o')
            return radixInteger(s, 2, 8, found);
    }

    std::size_t pos = 0;
    std::string number;
    if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) {
        if (s[pos] == '-')
            number.push_back('-');
        ++pos;
    }
    bool point = false;
    bool digits = false;
    for (; pos < s.size(); ++pos) {
        const char c = s[pos];
        if (isDigit(c)) {
            digits = true;
            number.push_back(c);
        } else if (c == '.' && !point) {
            point = true;
            number.push_back('.');
        } else {
            break;
        }
    }
    if (!digits)
        return 0.0;
    if (found)
        *found = true;
    // Decimal order of the first significant digit, to tell an overflow from
    // an underflow when the exponent takes the value out of a double's range.
    const std::size_t first = number.find_first_of("123456789");
    const bool significant = first != std::string::npos;
    std::size_t pointAt = number.find('.');
    if (pointAt == std::string::npos)
        pointAt = number.size();
    const long long order = !significant ? 0
                            : first < pointAt
                                ? static_cast<long long>(pointAt - first) - 1
                                : static_cast<long long>(pointAt) - static_cast<long long>(first);

    long long exponent = 0;
    if (pos < s.size() && (s[pos] == 'E' || s[pos] == 'e' || s[pos] == 'D' || s[pos] == 'd')) {
        std::size_t e = pos + 1;
        bool negativeExp = false;
        if (e < s.size() && (s[e] == '+' || s[e] == '-')) {
            negativeExp = s[e] == '-';
            ++e;
        }
        if (e < s.size() && isDigit(s[e])) {
            for (; e < s.size() && isDigit(s[e]); ++e)
                if (exponent < 100000)
                    exponent = exponent * 10 + (s[e] - '0');
            if (negativeExp)
                exponent = -exponent;
            number.push_back('e');
            number.append(std::to_string(exponent));
        }
    }
    bool inRange = false;
    const double value = QByteArray::fromStdString(number).toDouble(&inRange);
    if (!inRange) {
        const bool negative = number[0] == '-';
        if (!significant || order + exponent < 0)
            return negative ? -0.0 : 0.0;
        return negative ? -std::numeric_limits<double>::infinity()
                        : std::numeric_limits<double>::infinity();
    }
    return value;
}

double scaledDecimal(QStringView mantissa, int exponent) {
    // Handing the exponent to the decimal reading rounds the exact product
    // once, where scaling a double by ten rounds at every step.
    return leadingNumber(mantissa.toString() + u'E' + QString::number(exponent));
}

double roundHalfEven(double value) {
    // By hand rather than nearbyint, so that no one's rounding mode changes it.
    const double floorValue = std::floor(value);
    const double diff = value - floorValue;
    if (diff < 0.5)
        return floorValue;
    if (diff > 0.5)
        return floorValue + 1.0;
    return std::fmod(floorValue, 2.0) == 0.0 ? floorValue : floorValue + 1.0;
}

std::optional<qint16> toInt16(double value) {
    if (!std::isfinite(value))
        return std::nullopt;
    const double rounded = roundHalfEven(value);
    if (rounded < -32768.0 || rounded > 32767.0)
        return std::nullopt;
    return static_cast<qint16>(rounded);
}

std::optional<qint16> wholeTextToInt16(QStringView text) {
    // The whole text, blanks around it aside, must be one number: digits
    // with at most one point, an optional sign and exponent. A number too
    // small for a double is 0, as the leading-number rule reads it.
    const QStringView trimmed = text.trimmed();
    if (!isPlainNumber(trimmed, QLatin1StringView("EeDd")))
        return std::nullopt;
    return toInt16(leadingNumber(trimmed));
}

QString plainDecimal(double value) {
    return format(value, false);
}

QString blankPrefixed(double value) {
    return format(value, true);
}

QString compactDecimal(double value) {
    QString text = blankPrefixed(value);
    text.remove(u' ');
    if (text.startsWith(u'.'))
        text.prepend(u'0');
    return text;
}

QString readOutText(double magnitude, bool negative) {
    QString text = compactDecimal(magnitude);
    if (negative && magnitude != 0.0)
        text.prepend(u'-');
    return text;
}

std::optional<double> parseDecimal(QStringView text) {
    // Only the plain decimal and exponent forms: no blanks, no "inf" or
    // "nan", no locale's separators.
    constexpr qsizetype MaxChars = 64;
    if (text.size() > MaxChars || !isPlainNumber(text, QLatin1StringView("eE")))
        return std::nullopt;
    // A recording read back converts a million of these: std::from_chars
    // rounds exactly as Qt's conversion does (overflow and underflow alike
    // refused) at a fraction of its cost. The form above is ASCII only.
    char latin[MaxChars];
    qsizetype length = 0;
    for (QChar c : text)
        latin[length++] = char(c.unicode());
    const char* begin = latin + (latin[0] == '+' ? 1 : 0);
    double value = 0;
    const auto [end, error] = std::from_chars(begin, latin + length, value);
    if (error != std::errc() || end != latin + length || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace NumberText
