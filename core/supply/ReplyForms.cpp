#include "ReplyForms.h"

#include "protocol/NumberText.h"

#include <cmath>

namespace ReplyForms {

namespace {

bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// A mantissa in digits with at most one point, such as "1.23456".
bool isPlainMantissa(const QString& mantissa) {
    bool point = false;
    bool digit = false;
    for (QChar c : mantissa) {
        if (isAsciiDigit(c))
            digit = true;
        else if (c == u'.' && !point)
            point = true;
        else
            return false;
    }
    return digit;
}

bool isTwoDigits(const QString& text) {
    return text.size() == 2 && isAsciiDigit(text[0]) && isAsciiDigit(text[1]);
}

std::optional<QString> upToCr(const QString& text) {
    const qsizetype cr = text.indexOf(u'\r');
    if (cr < 0)
        return std::nullopt;
    return text.left(cr + 1);
}

} // namespace

std::optional<QString> identityLine(const QString& text) {
    if (text.size() < IdentityMinLength || !text.contains(u','))
        return std::nullopt;
    return upToCr(text);
}

std::optional<QString> versionLine(const QString& text) {
    if (text.size() < VersionMinLength)
        return std::nullopt;
    return upToCr(text);
}

QString withoutLineEnds(QString text) {
    text.remove(u'\r');
    text.remove(u'\n');
    return text;
}

bool isShortReply(const QString& text) {
    return text.size() >= ShortReplyMinLength && text.contains(u'\r') && text.contains(u'\n');
}

std::optional<OutputState> outputState(const QString& text) {
    if (!isShortReply(text))
        return std::nullopt;
    if (text.at(0) == u'0')
        return OutputState::Off;
    if (text.at(0) == u'1')
        return OutputState::On;
    return std::nullopt;
}

std::optional<int> wholeNumber(const QString& text, int low, int high) {
    if (!isShortReply(text))
        return std::nullopt;
    const QString digits = text.left(text.indexOf(u'\r')).trimmed();
    if (digits.isEmpty() || digits.size() > 4)
        return std::nullopt;
    for (QChar c : digits)
        if (!isAsciiDigit(c))
            return std::nullopt;
    const int value = digits.toInt();
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

std::optional<NumberForm> numberForm(const QString& text12) {
    if (text12.isEmpty())
        return std::nullopt;
    const QChar sign = text12.at(0);
    if (sign != u'+' && sign != u'-')
        return std::nullopt;
    const QString rest = text12.mid(1);
    const qsizetype e = rest.indexOf(u'E');
    if (e < 0 || rest.size() < 3)
        return std::nullopt;
    NumberForm form;
    form.negative = sign == u'-';
    form.mantissa = rest.left(e);
    if (form.mantissa.startsWith(u'A'))
        form.mantissa.replace(u'A', QStringLiteral("10"));
    // Only a reply in the number form is a reading: a mantissa or exponent
    // with anything but digits in it is noise.
    if (!isPlainMantissa(form.mantissa))
        return std::nullopt;
    const QChar exponentSign = rest.at(rest.size() - 3);
    if (exponentSign == u'+' || exponentSign == u'-') {
        const QString digits = rest.right(2);
        if (!isTwoDigits(digits))
            return std::nullopt;
        form.exponent = exponentSign == u'+' ? digits.toInt() : -digits.toInt();
    }
    return form;
}

double shownMagnitude(const NumberForm& form, const std::function<void()>& beforeEachFactor) {
    double shown = NumberText::leadingNumber(form.mantissa);
    for (int i = 0; i < std::abs(form.exponent); ++i) {
        if (beforeEachFactor)
            beforeEachFactor();
        if (form.exponent > 0)
            shown *= 10.0;
        else
            shown /= 10.0;
    }
    return shown;
}

double readingOf(const NumberForm& form) {
    const double value = NumberText::scaledDecimal(form.mantissa, form.exponent);
    return form.negative && value != 0.0 ? -value : value;
}

std::optional<NumberReading> numberLine(const QString& line) {
    const qsizetype lf = line.indexOf(u'\n');
    if (lf < 0 || lf + 1 < NumberLineMinLength)
        return std::nullopt;
    const std::optional<NumberForm> form = numberForm(line.left(NumberTextLength));
    if (!form)
        return std::nullopt;
    const double shown = shownMagnitude(*form);
    // A mantissa such as "9D999" reads as infinity: no reading at all.
    if (!std::isfinite(shown))
        return std::nullopt;
    return NumberReading{readingOf(*form), NumberText::readOutText(shown, form->negative)};
}

} // namespace ReplyForms
