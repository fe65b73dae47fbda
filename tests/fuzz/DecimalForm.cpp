#include "DecimalForm.h"

#include <string>

namespace {

constexpr std::size_t MaxSignificant = 15;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Digits from pos on; returns how many.
std::size_t digitRun(const std::string& s, std::size_t pos) {
    std::size_t end = pos;
    while (end < s.size() && isDigit(s[end]))
        ++end;
    return end - pos;
}

// "." and a fraction ending in a nonzero digit, or nothing at all; counts
// the fraction's digits into `digits`.
bool optionalFraction(const std::string& s, std::size_t& pos, std::size_t& digits) {
    if (pos == s.size() || s[pos] != '.')
        return true;
    const std::size_t run = digitRun(s, pos + 1);
    if (run == 0 || s[pos + run] == '0')
        return false;
    pos += 1 + run;
    digits += run;
    return true;
}

bool isFixed(const std::string& s) {
    if (s.empty() || s[0] < '1' || s[0] > '9')
        return false;
    std::size_t pos = digitRun(s, 0);
    std::size_t digits = pos;
    return optionalFraction(s, pos, digits) && pos == s.size() && digits <= MaxSignificant;
}

bool isBelowOne(const std::string& s) {
    if (s.rfind("0.", 0) != 0)
        return false;
    std::size_t pos = 2;
    std::size_t zeros = 0;
    while (pos < s.size() && s[pos] == '0') {
        ++zeros;
        ++pos;
    }
    const std::size_t run = digitRun(s, pos);
    return zeros <= 3 && run >= 1 && run <= MaxSignificant && pos + run == s.size() &&
           s.back() != '0';
}

bool isExponentForm(const std::string& s) {
    if (s.empty() || s[0] < '1' || s[0] > '9')
        return false;
    std::size_t pos = 1;
    std::size_t digits = 1;
    if (!optionalFraction(s, pos, digits) || digits > MaxSignificant)
        return false;
    if (s.size() < pos + 4 || s[pos] != 'E' || (s[pos + 1] != '+' && s[pos + 1] != '-'))
        return false;
    const bool negative = s[pos + 1] == '-';
    const std::string exponent = s.substr(pos + 2);
    if (exponent.size() > 3 || digitRun(exponent, 0) != exponent.size())
        return false;
    const int value = std::stoi(exponent);
    // Two digits at least, a third only when needed.
    if (exponent.size() == 3 && exponent[0] == '0')
        return false;
    return negative ? value >= 5 && value <= 324 : value >= 15 && value <= 308;
}

} // namespace

bool isPlainDecimalForm(QStringView text) {
    std::string s;
    for (QChar c : text) {
        if (c.unicode() > 0x7e)
            return false;
        s.push_back(static_cast<char>(c.unicode()));
    }
    if (s == "0")
        return true;
    if (!s.empty() && s[0] == '-')
        s.erase(0, 1);
    return isFixed(s) || isBelowOne(s) || isExponentForm(s);
}
