#pragma once

#include "supply/ReadingHistory.h"

#include <QList>
#include <QString>

#include <memory>

class QIODevice;

// Reads a recording back into a reading history: each reading row gives one
// point, of the quantity its "reading" column names, at its time; each event
// row gives an event. A line that does not follow the format is skipped and
// counted; only a missing or foreign header refuses the whole file.
class CsvReader {
public:
    // A recording may run for days: no time limit, but a bounded count.
    static constexpr ReadingHistory::Limits fileLimits() {
        return {1000000000000000LL, 200000, 20000};
    }
    static constexpr qint64 MaxFileBytes = 256LL * 1024 * 1024;
    static constexpr int MaxLineChars = 4096;
    static constexpr int KeptLineNumbers = 5;

    struct Result {
        std::unique_ptr<ReadingHistory> history; // null when refused
        QString error;                           // why it was refused
        qint64 rows = 0;                         // lines after the header
        qint64 malformed = 0;
        QList<qint64> malformedLines; // the first few, counted from 1
    };

    static Result read(QIODevice& device);
    static Result readFile(const QString& path);
};
