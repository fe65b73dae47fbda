#pragma once

#include "supply/SupplyModel.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QStringView>

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

QString header();

// The column of a quantity, e.g. "measured_voltage_V"; empty for the
// identity texts, which have none.
QString columnName(Quantity quantity);
std::optional<Quantity> columnQuantity(QStringView name);

// The shortest text that reads back to the same double.
QString numberText(double value);
// ISO 8601 local time with milliseconds and UTC offset:
// "2026-12-07T15:31:02.512+01:00".
QString timeText(const QDateTime& time);
QString outputText(OutputState state);
QString modeText(TrackingMode mode);
QString channelText(int channel);
QString eventText(LinkEvent event);

// One field as written: quoted when it holds a comma, a quote or a line end.
QString field(const QString& text);
// The fields of one line (without its line end); nothing when a quoted field
// is not closed or text follows its closing quote.
std::optional<QStringList> splitRow(QStringView line);

std::optional<double> parseNumber(QStringView text);
std::optional<QDateTime> parseTime(QStringView text);
std::optional<OutputState> parseOutput(QStringView text);
std::optional<TrackingMode> parseMode(QStringView text);
std::optional<int> parseChannel(QStringView text);

} // namespace CsvFormat
