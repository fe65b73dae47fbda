#include "CsvFormat.h"

#include <QLocale>

#include <cstdlib>

namespace CsvFormat {

namespace {

struct Column {
    Quantity quantity;
    const char* name;
};

constexpr Column kColumns[ValueColumnCount] = {
    {Quantity::MeasuredVoltage, "measured_voltage_V"},
    {Quantity::MeasuredCurrent, "measured_current_A"},
    {Quantity::SetVoltage, "set_voltage_V"},
    {Quantity::SetCurrent, "set_current_A"},
    {Quantity::OverVoltage, "ovp_V"},
    {Quantity::OverCurrent, "ocp_A"},
    {Quantity::Output, "output"},
    {Quantity::Mode, "mode"},
    {Quantity::Channel, "channel"},
};

QString field(QString text) {
    for (QChar& c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = u' ';
    if (!text.contains(u',') && !text.contains(u'"'))
        return text;
    text.replace(u'"', QStringLiteral("\"\""));
    return u'"' + text + u'"';
}

} // namespace

QString header() {
    QStringList names{QStringLiteral("time"), QStringLiteral("reading")};
    for (const Column& column : kColumns)
        names.append(QLatin1String(column.name));
    names.append(QStringLiteral("event"));
    return names.join(u',');
}

int valueColumn(Quantity quantity) {
    for (int i = 0; i < ValueColumnCount; ++i)
        if (kColumns[i].quantity == quantity)
            return i;
    return -1;
}

bool isRecorded(Quantity quantity) {
    return valueColumn(quantity) >= 0;
}

QString columnName(Quantity quantity) {
    const int column = valueColumn(quantity);
    return column < 0 ? QString() : QLatin1String(kColumns[column].name);
}

QString numberText(double value) {
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString timeText(const QDateTime& time) {
    const QDateTime local = time.toLocalTime();
    const int offset = local.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) + (offset < 0 ? u'-' : u'+') +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString outputText(OutputState state) {
    return state == OutputState::On ? QStringLiteral("on") : QStringLiteral("off");
}

QString modeText(TrackingMode mode) {
    switch (mode) {
    case TrackingMode::Parallel:
        return QStringLiteral("parallel");
    case TrackingMode::Series:
        return QStringLiteral("series");
    case TrackingMode::Independent:
        break;
    }
    return QStringLiteral("independent");
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

QString eventText(LinkEvent event) {
    switch (event) {
    case LinkEvent::PortOpened:
        return QStringLiteral("port opened");
    case LinkEvent::PortClosed:
        return QStringLiteral("port closed");
    case LinkEvent::PortLost:
        return QStringLiteral("port lost");
    case LinkEvent::PortReopened:
        return QStringLiteral("port reopened");
    case LinkEvent::PollingStarted:
        return QStringLiteral("polling started");
    case LinkEvent::PollingStopped:
        break;
    }
    return QStringLiteral("polling stopped");
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
    QStringList quoted;
    quoted.reserve(fields.size());
    for (const QString& f : fields)
        quoted.append(field(f));
    return (quoted.join(u',') + u'\n').toUtf8();
}

} // namespace CsvFormat
