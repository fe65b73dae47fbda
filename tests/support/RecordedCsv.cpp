#include "RecordedCsv.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>

namespace RecordedCsv {

namespace {

const QStringList kHeader = QStringLiteral("time,reading,measured_voltage_V,measured_current_A,"
                                           "set_voltage_V,set_current_A,ovp_V,ocp_A,output,mode,"
                                           "channel,event")
                                .split(u',');

} // namespace

QStringList fields(const QString& line) {
    QStringList result;
    QString field;
    bool quoted = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == u'"' && i + 1 < line.size() && line[i + 1] == u'"') {
                field += c;
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            result.append(field);
            field.clear();
        } else {
            field += c;
        }
    }
    result.append(field);
    return result;
}

int column(const QString& name) {
    return int(kHeader.indexOf(name));
}

QString problem(const QString& line) {
    static const QRegularExpression time(
        QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d$)"));
    const QStringList f = fields(line);
    if (f.size() != kHeader.size())
        return QStringLiteral("%1 fields").arg(f.size());
    if (!time.match(f[0]).hasMatch() || !QDateTime::fromString(f[0], Qt::ISODateWithMs).isValid())
        return QStringLiteral("time ") + f[0];
    const QString& reading = f[1];
    const QString& event = f.last();
    if (reading.isEmpty() == event.isEmpty())
        return QStringLiteral("a row brings either a reading or an event");
    if (!reading.isEmpty() && (column(reading) < 2 || column(reading) > 10))
        return QStringLiteral("reading ") + reading;
    for (int i = 2; i <= 7; ++i) {
        bool ok = true;
        if (!f[i].isEmpty())
            f[i].toDouble(&ok);
        if (!ok)
            return kHeader[i] + u' ' + f[i];
    }
    const auto oneOf = [](const QString& value, const QStringList& allowed) {
        return value.isEmpty() || allowed.contains(value);
    };
    if (!oneOf(f[8], {"on", "off"}) || !oneOf(f[9], {"independent", "parallel", "series"}) ||
        !oneOf(f[10], {"1", "2"}))
        return QStringLiteral("output, mode or channel ") + f[8] + u' ' + f[9] + u' ' + f[10];
    if (!reading.isEmpty() && f[column(reading)].isEmpty())
        return QStringLiteral("the reading's own column is empty");
    return {};
}

QStringList lines(const QString& path, QByteArray* rest) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    const qsizetype end = bytes.lastIndexOf('\n') + 1;
    if (rest)
        *rest = bytes.mid(end);
    QStringList result;
    const QList<QByteArray> parts = bytes.left(end).split('\n');
    for (qsizetype i = 0; i + 1 < parts.size(); ++i)
        result.append(QString::fromUtf8(parts[i]));
    return result;
}

} // namespace RecordedCsv
