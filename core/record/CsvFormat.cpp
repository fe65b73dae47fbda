#include "CsvFormat.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>

namespace CsvFormat {

namespace {

const std::array<QLatin1String, QuantityColumns> kColumns = {
    QLatin1String("measured_voltage_V"),
    QLatin1String("measured_current_A"),
    QLatin1String("set_voltage_V"),
    QLatin1String("set_current_A"),
    QLatin1String("ovp_V"),
    QLatin1String("ocp_A"),
    QLatin1String("output"),
    QLatin1String("mode"),
    QLatin1String("channel"),
};

const std::array<QLatin1String, 3> kModes = {QLatin1String("independent"),
                                             QLatin1String("parallel"), QLatin1String("series")};

QString twoDigits(int value) {
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

} // namespace

QString header() {
    QStringList names{QStringLiteral("time"), QStringLiteral("reading")};
    for (QLatin1String column : kColumns)
        names << QString(column);
    names << QStringLiteral("event");
    return names.join(QLatin1Char(','));
}

QString columnName(Quantity quantity) {
    const int i = int(quantity);
    return i < QuantityColumns ? QString(kColumns[size_t(i)]) : QString();
}

std::optional<Quantity> columnQuantity(QStringView name) {
    for (int i = 0; i < QuantityColumns; ++i) {
        if (name == kColumns[size_t(i)])
            return Quantity(i);
    }
    return std::nullopt;
}

bool isRecorded(Quantity quantity) {
    return valueColumn(quantity) >= 0;
}

int valueColumn(Quantity quantity) {
    const int i = int(quantity);
    return i < QuantityColumns ? i : -1;
}

QString numberText(double value) {
    // QString::number always writes the C locale's digits and point, but
    // drops the sign of a negative zero, which reads back as another double.
    if (value == 0.0 && std::signbit(value))
        return QStringLiteral("-0");
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString timeText(const QDateTime& time) {
    const QDateTime local = time.toLocalTime();
    // The format string is rendered in the C locale: ASCII digits whatever
    // the user's locale. Qt writes "Z" for a zero offset; the format always
    // has the signed hours and minutes.
    const int offset = local.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) +
           QLatin1Char(offset < 0 ? '-' : '+') + twoDigits(minutes / 60) + QLatin1Char(':') +
           twoDigits(minutes % 60);
}

QString outputText(OutputState state) {
    return state == OutputState::On ? QStringLiteral("on") : QStringLiteral("off");
}

QString modeText(TrackingMode mode) {
    const auto i = size_t(mode);
    return i < kModes.size() ? QString(kModes[i]) : QString();
}

QString channelText(int channel) {
    return QString::number(channel);
}

QString valueText(Quantity quantity, const QVariant& value) {
    if (SupplyModel::isNumber(quantity))
        return numberText(value.toDouble());
    switch (quantity) {
    case Quantity::Output:
        return outputText(value.value<OutputState>());
    case Quantity::Mode:
        return modeText(value.value<TrackingMode>());
    case Quantity::Channel:
        return channelText(value.toInt());
    default:
        return {};
    }
}

QString recordingStartedText(const QString& portName, const QString& lineSettings) {
    QString text = QStringLiteral("recording started");
    if (!portName.isEmpty())
        text += u' ' + portName + u' ' + lineSettings;
    return text;
}

QString recordingStoppedText() {
    return QStringLiteral("recording stopped");
}

QByteArray line(const QStringList& fields) {
    QStringList written;
    written.reserve(fields.size());
    for (QString text : fields) {
        for (QChar& c : text)
            if (c.unicode() < 0x20 || c.unicode() == 0x7f)
                c = u' ';
        written.append(field(text));
    }
    return (written.join(u',') + u'\n').toUtf8();
}

QString field(const QString& text) {
    const bool special = std::any_of(text.begin(), text.end(), [](QChar c) {
        return c == u',' || c == u'"' || c == u'\r' || c == u'\n';
    });
    if (!special)
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

std::optional<QStringList> splitRow(QStringView line) {
    QStringList fields;
    QString current;
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (true) {
        current.clear();
        if (i < n && line[i] == QLatin1Char('"')) {
            ++i;
            while (true) {
                if (i == n)
                    return std::nullopt;
                if (line[i] == QLatin1Char('"')) {
                    if (i + 1 < n && line[i + 1] == QLatin1Char('"')) {
                        current += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                current += line[i++];
            }
            if (i < n && line[i] != QLatin1Char(','))
                return std::nullopt;
        } else {
            const qsizetype end = line.indexOf(QLatin1Char(','), i);
            const qsizetype stop = end < 0 ? n : end;
            const QStringView text = line.mid(i, stop - i);
            if (text.contains(QLatin1Char('"')))
                return std::nullopt;
            current = text.toString();
            i = stop;
        }
        fields << current;
        if (i == n)
            return fields;
        ++i; // the comma
    }
}

namespace {

// The digits at [at, at + count) as a number; -1 when any is not a digit.
int digits(QStringView text, qsizetype at, int count) {
    int value = 0;
    for (qsizetype i = at; i < at + count; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + int(c - u'0');
    }
    return value;
}

bool punctuated(QStringView text, std::initializer_list<std::pair<qsizetype, char16_t>> marks) {
    return std::all_of(marks.begin(), marks.end(),
                       [text](const auto& mark) { return text[mark.first] == mark.second; });
}

// The UTC offset in seconds from "Z" or "+HH:MM" / "-HH:MM".
std::optional<int> utcOffset(QStringView text) {
    if (text == u"Z")
        return 0;
    if (text.size() != 6 || (text[0] != u'+' && text[0] != u'-') || text[3] != u':')
        return std::nullopt;
    const int hours = digits(text, 1, 2);
    const int minutes = digits(text, 4, 2);
    if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59)
        return std::nullopt;
    const int offset = (hours * 60 + minutes) * 60;
    return text[0] == u'-' ? -offset : offset;
}

} // namespace

// Read once for every row of a recording that may hold a million: scanned by
// hand, without a regular expression or a time zone object per row.
std::optional<qint64> parseTime(QStringView text) {
    // "2026-12-07T15:31:02.512" and then the offset.
    constexpr qsizetype ClockLength = 23;
    if (text.size() < ClockLength + 1 ||
        !punctuated(text, {{4, u'-'}, {7, u'-'}, {10, u'T'}, {13, u':'}, {16, u':'}, {19, u'.'}}))
        return std::nullopt;
    const int year = digits(text, 0, 4);
    const QDate date(year, digits(text, 5, 2), digits(text, 8, 2));
    const int hours = digits(text, 11, 2);
    const int minutes = digits(text, 14, 2);
    const int seconds = digits(text, 17, 2);
    const int msecs = digits(text, 20, 3);
    const std::optional<int> offset = utcOffset(text.mid(ClockLength));
    if (year < 0 || !date.isValid() || !QTime::isValid(hours, minutes, seconds, msecs) || !offset)
        return std::nullopt;
    constexpr qint64 EpochDay = 2440588; // the Julian day of 1970-01-01
    constexpr qint64 DayMs = 24LL * 3600 * 1000;
    return (date.toJulianDay() - EpochDay) * DayMs +
           ((hours * 60LL + minutes) * 60 + seconds) * 1000 + msecs - *offset * 1000LL;
}

std::optional<OutputState> parseOutput(QStringView text) {
    if (text == QLatin1String("on"))
        return OutputState::On;
    if (text == QLatin1String("off"))
        return OutputState::Off;
    return std::nullopt;
}

std::optional<TrackingMode> parseMode(QStringView text) {
    for (size_t i = 0; i < kModes.size(); ++i) {
        if (text == kModes[i])
            return TrackingMode(int(i));
    }
    return std::nullopt;
}

std::optional<int> parseChannel(QStringView text) {
    if (text == QLatin1String("1"))
        return 1;
    if (text == QLatin1String("2"))
        return 2;
    return std::nullopt;
}

} // namespace CsvFormat
