// The number texts (protocol/NumberText.h) and the COM text reading
// (serial/PortDirectory.h) against properties that hold whatever the input:
//   - no text makes them crash, read as Latin-1 (as from the line), as UTF-8
//     (as typed) or as raw UTF-16 (unpaired surrogates included);
//   - a leading number without digits is 0;
//   - plainDecimal gives the form of DecimalForm.h, reads back as the value
//     to 15 significant digits (the C library's rounding as reference) and
//     survives leadingNumber unchanged; blankPrefixed and compactDecimal have
//     the same digits and differ only as documented; a value and its
//     negation differ only in the "-";
//   - roundHalfEven is the C library's nearbyint, toInt16 its 16-bit range;
//   - a clean number text (blanks, sign, digits, one point, E exponent)
//     reads the same by leadingNumber as by Qt's C-locale reader, and
//     wholeTextToInt16 agrees with leadingNumber on it;
//   - "COM" and a port number, with blanks or "COM" between its digits and
//     any text after a colon, reads as that number; above 255 as 0;
//   - every result is the same under a German locale, both the C library's
//     (when de_DE.UTF-8 can be loaded: scripts/fuzz makes one under LOCPATH)
//     and Qt's default.
//
// Input: HeaderSize bytes, then the text.
//   [0-7] a double, as it lies in memory
//   [8]   a port number
//   [9]   bits 0-1 what stands before its digits ("COM", "COM ", " COM",
//         nothing), bits 2-5 what stands between them (two bits a gap:
//         nothing, " ", "COM", "  "), bit 6 the number plus 256
//   [10]  the clean number text: bits 0-1 blanks before, bits 2-3 sign (1
//         "+", 2 "-", else none), bit 4 a point, bit 5 an exponent, bit 6
//         "e" rather than "E", bit 7 a "-" exponent sign rather than "+"
//   [11]  low nibble digits before the point, high nibble after it; the
//         digits come from the text's bytes
//   [12]  low nibble exponent digits less one, bits 4-5 blanks after

#include "DecimalForm.h"
#include "FuzzInput.h"
#include "protocol/NumberText.h"
#include "serial/PortDirectory.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace {

constexpr std::size_t HeaderSize = 13;

bool germanCLocale = false;

// Exact, so that -0 and 0 differ.
QString bitsOf(double value) {
    quint64 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return QString::number(bits, 16);
}

QString shown(std::optional<qint16> value) {
    return value ? QString::number(*value) : QStringLiteral("none");
}

QString shown(double value) {
    return QString::number(value, 'g', 17);
}

QString rawUtf16(const QByteArray& bytes) {
    QString text(bytes.size() / 2, Qt::Uninitialized);
    std::memcpy(text.data(), bytes.constData(), std::size_t(text.size()) * 2);
    return text;
}

bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Blanks, a sign, digits with at most one point (one digit at least), an
// exponent "E"/"e" with an optional sign and digits, blanks: what both
// number readers are meant to take the same way.
bool isCleanNumber(QStringView text) {
    qsizetype pos = 0;
    const qsizetype end = text.size();
    const auto digits = [&] {
        const qsizetype from = pos;
        while (pos < end && isAsciiDigit(text[pos]))
            ++pos;
        return pos - from;
    };
    while (pos < end && text[pos] == u' ')
        ++pos;
    if (pos < end && (text[pos] == u'+' || text[pos] == u'-'))
        ++pos;
    qsizetype mantissa = digits();
    if (pos < end && text[pos] == u'.') {
        ++pos;
        mantissa += digits();
    }
    if (mantissa == 0)
        return false;
    if (pos < end && (text[pos] == u'E' || text[pos] == u'e')) {
        ++pos;
        if (pos < end && (text[pos] == u'+' || text[pos] == u'-'))
            ++pos;
        if (digits() == 0)
            return false;
    }
    while (pos < end && text[pos] == u' ')
        ++pos;
    return pos == end;
}

// %.14e and back through the C library, in whatever locale is set: the
// value to 15 significant digits.
double cLibraryRounded(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.14e", value);
    const double rounded = std::strtod(text, nullptr);
    // Rounded to 15 digits the largest doubles pass the largest double; the
    // panel keeps them at the largest 15-digit value instead, so that the
    // text still reads back as a number.
    if (std::isinf(rounded))
        return std::copysign(1.79769313486231e308, value);
    return rounded;
}

void checkRounding(double value, QStringList& results) {
    const double rounded = NumberText::roundHalfEven(value);
    const std::optional<qint16> whole = NumberText::toInt16(value);
    results << bitsOf(rounded) << shown(whole);
    if (!std::isfinite(value))
        return;
    if (rounded != std::nearbyint(value))
        violated("roundHalfEven is nearbyint",
                 shown(value) + QStringLiteral(" gave ") + shown(rounded));
    const bool fits = rounded >= -32768.0 && rounded <= 32767.0;
    if (whole.has_value() != fits || (fits && *whole != rounded))
        violated("toInt16 within 16 bits", shown(value) + QStringLiteral(" gave ") + shown(whole));
}

void checkDecimalForms(double value, QStringList& results) {
    const QString plain = NumberText::plainDecimal(value);
    const QString blank = NumberText::blankPrefixed(value);
    const QString compact = NumberText::compactDecimal(value);
    results << plain << blank << compact;
    if (!std::isfinite(value))
        return;
    const QString detail = plain + QStringLiteral(" for ") + shown(value);
    if (!isPlainDecimalForm(plain))
        violated("plain decimal form", detail);
    const double read = NumberText::leadingNumber(plain);
    if (read != cLibraryRounded(value))
        violated("plain decimal reads back as the value to 15 digits",
                 detail + QStringLiteral(" read ") + shown(read));
    if (NumberText::plainDecimal(read) != plain)
        violated("plain decimal survives leadingNumber",
                 detail + QStringLiteral(" became ") + NumberText::plainDecimal(read));

    const bool negative = plain.startsWith(u'-');
    QString magnitude = negative ? plain.mid(1) : plain;
    if (magnitude.startsWith(QStringLiteral("0.")))
        magnitude.remove(0, 1);
    const QString expectedBlank =
        value == 0.0 ? QStringLiteral(" 0") : (negative ? u'-' : u' ') + magnitude;
    if (blank != expectedBlank)
        violated("blank-prefixed form", blank + QStringLiteral(" beside ") + detail);
    if (compact != (negative ? blank : plain))
        violated("compact form", compact + QStringLiteral(" beside ") + detail);
    if (value != 0.0) {
        const QString mirrored = NumberText::plainDecimal(-value);
        if (mirrored != (negative ? plain.mid(1) : u'-' + plain))
            violated("negation changes only the sign",
                     mirrored + QStringLiteral(" beside ") + detail);
    }
}

void checkCleanNumber(const QString& text, QStringList& results) {
    const double read = NumberText::leadingNumber(text);
    const std::optional<qint16> whole = NumberText::wholeTextToInt16(text);
    results << bitsOf(read) << shown(whole);
    if (whole != NumberText::toInt16(read))
        violated("wholeTextToInt16 agrees with leadingNumber",
                 text + QStringLiteral(": ") + shown(whole) + QStringLiteral(" beside ") +
                     shown(read));
    bool ok = false;
    const double reference = text.toDouble(&ok);
    if (ok && read != reference)
        violated("leadingNumber reads a clean number exactly",
                 text + QStringLiteral(": ") + shown(read) + QStringLiteral(" beside ") +
                     shown(reference));
}

void checkText(const QString& text, QStringList& results) {
    bool found = false;
    const double read = NumberText::leadingNumber(text, &found);
    if (!found && read != 0.0)
        violated("no digits read as 0", text + QStringLiteral(": ") + shown(read));
    results << bitsOf(read) << QString::number(found);
    checkDecimalForms(read, results);
    checkRounding(read, results);
    results << shown(NumberText::wholeTextToInt16(text))
            << QString::number(portNumberFromText(text));
    if (isCleanNumber(text))
        checkCleanNumber(text, results);
}

void checkPort(std::uint8_t port, std::uint8_t shape, const QString& after, QStringList& results) {
    static const QString before[] = {QStringLiteral("COM"), QStringLiteral("COM "),
                                     QStringLiteral(" COM"), QString()};
    static const QString gaps[] = {QString(), QStringLiteral(" "), QStringLiteral("COM"),
                                   QStringLiteral("  ")};
    const bool beyond = (shape & 0x40) != 0;
    const QString digits = QString::number(port + (beyond ? 256 : 0));
    QString text = before[shape & 3];
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0)
            text += gaps[(shape >> (2 * i)) & 3];
        text += digits[i];
    }
    text += u':' + after;
    const quint8 read = portNumberFromText(text);
    results << QString::number(read);
    if (read != (beyond ? 0 : port))
        violated("port number from COM text", text + QStringLiteral(": ") + QString::number(read));
}

QString cleanNumber(const std::uint8_t* header, const QByteArray& digitSource) {
    qsizetype used = 0;
    const auto digits = [&](int count) {
        QString out;
        for (int i = 0; i < count; ++i, ++used) {
            const int digit = digitSource.isEmpty()
                                  ? int(used % 10)
                                  : std::uint8_t(digitSource[used % digitSource.size()]) % 10;
            out += QChar(u'0' + digit);
        }
        return out;
    };
    const std::uint8_t shape = header[10];
    QString text(shape & 3, u' ');
    const int sign = (shape >> 2) & 3;
    if (sign == 1)
        text += u'+';
    else if (sign == 2)
        text += u'-';
    int before = header[11] & 15;
    const int after = header[11] >> 4;
    const bool point = (shape & 0x10) != 0;
    if (before == 0 && (!point || after == 0))
        before = 1;
    text += digits(before);
    if (point)
        text += u'.' + digits(after);
    if (shape & 0x20) {
        text += (shape & 0x40) ? u'e' : u'E';
        text += (shape & 0x80) ? u'-' : u'+';
        text += digits(1 + (header[12] & 15));
    }
    text += QString((header[12] >> 4) & 3, u' ');
    return text;
}

QStringList evaluate(const std::uint8_t* data, std::size_t size) {
    std::uint8_t header[HeaderSize] = {};
    std::memcpy(header, data, std::min(size, HeaderSize));
    const QByteArray rest = size > HeaderSize
                                ? QByteArray(reinterpret_cast<const char*>(data) + HeaderSize,
                                             qsizetype(size - HeaderSize))
                                : QByteArray();
    QStringList results;
    const QString latin1 = QString::fromLatin1(rest);
    for (const QString& text : {latin1, QString::fromUtf8(rest), rawUtf16(rest)})
        checkText(text, results);

    double value = 0.0;
    std::memcpy(&value, header, sizeof value);
    checkDecimalForms(value, results);
    checkRounding(value, results);
    checkPort(header[8], header[9], latin1, results);
    checkCleanNumber(cleanNumber(header, rest), results);
    return results;
}

void useCLocale() {
    std::setlocale(LC_ALL, "C");
    QLocale::setDefault(QLocale::c());
}

void useGermanLocale() {
    if (germanCLocale)
        std::setlocale(LC_ALL, "de_DE.UTF-8");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    germanCLocale = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    if (!germanCLocale)
        std::fprintf(stderr, "de_DE.UTF-8 cannot be loaded (set LOCPATH, see scripts/fuzz): "
                             "checking under Qt's German locale only\n");
    useCLocale();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QStringList plain = evaluate(data, size);
    useGermanLocale();
    const QStringList german = evaluate(data, size);
    useCLocale();
    if (german != plain) {
        for (qsizetype i = 0; i < plain.size() && i < german.size(); ++i)
            if (plain[i] != german[i])
                violated("same results under a German locale",
                         QStringLiteral("result %1: %2 beside %3").arg(i).arg(plain[i], german[i]));
        violated("same results under a German locale", QStringLiteral("a different count"));
    }
    return 0;
}
