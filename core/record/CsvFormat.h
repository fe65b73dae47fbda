#pragma once

#include "supply/SupplyModel.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVariant>

#include <optional>

// The pieces of the recording format: UTF-8, LF line ends, comma separated,
// "." as the decimal point whatever the locale, one header row, then one row
// per reading or link event. Writers and readers of recordings share these so
// that a file written by one reads back through the other.
namespace CsvFormat {

// The quantities that have a column, in column order after "time,reading".
inline constexpr int QuantityColumns = int(Quantity::Channel) + 1;
// time, reading, the quantity columns, event.
inline constexpr int ColumnCount = QuantityColumns + 3;
// The read-out columns a row carries the latest values in.
inline constexpr int ValueColumnCount = QuantityColumns;

QString header();

// The column of a quantity, e.g. "measured_voltage_V"; empty for the
// identity texts, which have none.
QString columnName(Quantity quantity);
std::optional<Quantity> columnQuantity(QStringView name);
bool isRecorded(Quantity quantity);
// 0 to ValueColumnCount - 1 among the read-out columns, -1 when not recorded.
int valueColumn(Quantity quantity);

// The shortest text that reads back to the same double.
QString numberText(double value);
// ISO 8601 local time with milliseconds and UTC offset:
// "2026-12-07T15:31:02.512+01:00".
QString timeText(const QDateTime& time);
QString outputText(OutputState state);
QString modeText(TrackingMode mode);
QString channelText(int channel);
// A reading's value as its column shows it; empty for an unrecorded quantity.
QString valueText(Quantity quantity, const QVariant& value);
QString recordingStartedText(const QString& portName, const QString& lineSettings);
QString recordingStoppedText();

// One field as written: quoted when it holds a comma, a quote or a line end.
QString field(const QString& text);
// One line as written: the fields, with control characters made blanks so
// that every line of the file is one row, joined by commas and ended by LF,
// in UTF-8.
QByteArray line(const QStringList& fields);
// The fields of one line (without its line end); nothing when a quoted field
// is not closed or text follows its closing quote.
std::optional<QStringList> splitRow(QStringView line);

// Milliseconds since the epoch of a time as timeText writes it.
std::optional<qint64> parseTime(QStringView text);
std::optional<OutputState> parseOutput(QStringView text);
std::optional<TrackingMode> parseMode(QStringView text);
std::optional<int> parseChannel(QStringView text);

} // namespace CsvFormat
