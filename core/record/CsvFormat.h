#pragma once

#include "supply/SupplyModel.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

// The recording file: UTF-8 without BOM, LF line ends, comma separated, one
// header line, then one row per reading or link event. A row has the
// columns of header(): the time, the column the reading brings (empty for
// an event row), the nine read-out columns holding the latest value known,
// and the event text (empty for a reading row). Writers and readers of the
// format share these pieces.
namespace CsvFormat {

inline constexpr int ColumnCount = 12;
// The read-out columns, in header order after time and reading: the six
// numbers, output, mode and channel.
inline constexpr int ValueColumnCount = 9;

QString header();

// The column a quantity's readings go to, empty for one that is not
// recorded (version and identification).
QString columnName(Quantity quantity);
bool isRecorded(Quantity quantity);
// 0 to ValueColumnCount - 1 among the read-out columns, -1 when not recorded.
int valueColumn(Quantity quantity);

// The shortest text that reads back to the same double; "." as decimal
// point whatever the locale.
QString numberText(double value);
// ISO 8601 local time with milliseconds and the UTC offset, always as
// "+hh:mm" or "-hh:mm": 2026-12-07T15:31:02.512+01:00.
QString timeText(const QDateTime& time);
QString outputText(OutputState state); // "on", "off"
QString modeText(TrackingMode mode);   // "independent", "parallel", "series"
QString channelText(int channel);
// A reading's value as its column shows it; empty for an unrecorded quantity.
QString valueText(Quantity quantity, const QVariant& value);

QString eventText(LinkEvent event); // "port opened", "port lost", ...
QString recordingStartedText(const QString& portName, const QString& lineSettings);
QString recordingStoppedText();

// One line: the fields joined by commas, ended by LF, in UTF-8. A field
// with a comma or a double quote is quoted as CSV does; control characters
// become blanks, so that every line of the file is one row.
QByteArray line(const QStringList& fields);

} // namespace CsvFormat
