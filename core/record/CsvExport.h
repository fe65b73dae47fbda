#pragma once

#include "supply/ReadingHistory.h"

#include <QString>

class QIODevice;

// Writes a reading history in the recording format: the header, then every
// point and event in time order, each row carrying the latest value known
// of every quantity, as a recording made over the same time would.
namespace CsvExport {

bool write(const ReadingHistory& history, QIODevice& device);
// Replaces the file only once the whole text is written; the reason of a
// failure goes to error.
bool writeFile(const ReadingHistory& history, const QString& path, QString* error);

} // namespace CsvExport
