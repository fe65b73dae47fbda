#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// A recording read back independently of its writer, by the rules its
// readers are given: UTF-8, rows ended by LF, fields split at commas outside
// double quotes, "" inside quotes for a quote.
namespace RecordedCsv {

QStringList fields(const QString& line);

// Why a line is not a row of the recording format; empty when it is one.
// The header is not a row.
QString problem(const QString& line);

// The file's complete lines (each ended by LF, which is left off), the
// header included. `rest` receives what follows the last LF.
QStringList lines(const QString& path, QByteArray* rest = nullptr);

// A column's index in the header; -1 for none.
int column(const QString& name);

} // namespace RecordedCsv
