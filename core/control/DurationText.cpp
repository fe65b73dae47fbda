#include "DurationText.h"

namespace {

// Enough digits for a week in seconds; more are refused before they can
// overflow.
constexpr int kMaxDigits = 7;

// The seconds in one of the unit, and the unit's rank (h before m before s);
// nothing for a letter that is no unit.
std::optional<std::pair<qint64, int>> unit(QChar letter) {
    switch (letter.toLower().unicode()) {
    case u'h':
        return std::pair<qint64, int>{3600, 0};
    case u'm':
        return std::pair<qint64, int>{60, 1};
    case u's':
        return std::pair<qint64, int>{1, 2};
    default:
        return std::nullopt;
    }
}

} // namespace

std::optional<std::chrono::seconds> DurationText::parse(QStringView text) {
    qint64 total = 0;
    int lastRank = -1;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype start = i;
        qint64 number = 0;
        while (i < text.size() && text[i] >= u'0' && text[i] <= u'9' && i - start < kMaxDigits)
            number = number * 10 + (text[i++].unicode() - u'0');
        if (i == start || i == text.size())
            return std::nullopt;
        const std::optional<std::pair<qint64, int>> u = unit(text[i++]);
        if (!u || u->second <= lastRank)
            return std::nullopt;
        lastRank = u->second;
        total += number * u->first;
    }
    if (total <= 0 || total > Longest.count())
        return std::nullopt;
    return std::chrono::seconds(total);
}
