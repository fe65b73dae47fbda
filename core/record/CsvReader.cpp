#include "CsvReader.h"

#include "protocol/NumberText.h"
#include "record/CsvFormat.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <array>

namespace {

using Fields = std::array<QStringView, CsvFormat::ColumnCount>;

// The fields of a line that holds no quote, as views into it: a week's
// recording has a million such rows, and a string for each of their fields
// cost most of the time it took to open. False when the count is wrong.
bool splitPlainRow(QStringView line, Fields& fields) {
    qsizetype start = 0;
    for (qsizetype i = 0; i < qsizetype(fields.size()); ++i) {
        const qsizetype comma = line.indexOf(u',', start);
        const bool last = i + 1 == qsizetype(fields.size());
        if (last != (comma < 0))
            return false;
        const qsizetype stop = last ? line.size() : comma;
        fields[size_t(i)] = line.mid(start, stop - start);
        start = stop + 1;
    }
    return true;
}

// The whole row, checked field by field; applied to the history only when
// every field is in its form.
bool applyRow(const Fields& fields, ReadingHistory& history) {
    const auto time = CsvFormat::parseTime(fields[0]);
    if (!time)
        return false;
    double values[CsvFormat::QuantityColumns] = {};
    bool present[CsvFormat::QuantityColumns] = {};
    for (int i = 0; i < CsvFormat::QuantityColumns; ++i) {
        const QStringView text = fields[size_t(2 + i)];
        if (text.isEmpty())
            continue;
        std::optional<double> value;
        switch (Quantity(i)) {
        case Quantity::Output:
            if (const auto state = CsvFormat::parseOutput(text))
                value = *state == OutputState::On ? 1.0 : 0.0;
            break;
        case Quantity::Mode:
            if (const auto mode = CsvFormat::parseMode(text))
                value = double(*mode);
            break;
        case Quantity::Channel:
            if (const auto channel = CsvFormat::parseChannel(text))
                value = *channel;
            break;
        default:
            value = NumberText::parseDecimal(text);
            break;
        }
        if (!value)
            return false;
        values[i] = *value;
        present[i] = true;
    }
    const QStringView reading = fields[1];
    const QStringView event = fields[CsvFormat::ColumnCount - 1];
    const qint64 msecs = *time;
    if (reading.isEmpty()) {
        if (event.isEmpty())
            return false;
        history.addEvent(msecs, event.toString());
        return true;
    }
    const auto quantity = CsvFormat::columnQuantity(reading);
    if (!quantity || !present[int(*quantity)] || !event.isEmpty())
        return false;
    history.addPoint(*quantity, msecs, values[int(*quantity)]);
    return true;
}

// One line without its line end (LF or CR LF, the last line's too), or
// nothing at the end of the device. A line whose text is longer than the
// limit is read to its end, not kept, and reported as too long.
struct Line {
    QByteArray bytes;
    bool tooLong = false;
};

std::optional<Line> nextLine(QIODevice& device) {
    // Room for the text and a CR LF after it.
    constexpr qsizetype kept = CsvReader::MaxLineChars + 2;
    Line line;
    bool any = false;
    while (true) {
        const QByteArray chunk = device.readLine(kept + 1);
        if (chunk.isEmpty())
            break;
        any = true;
        if (!line.tooLong)
            line.bytes += chunk;
        if (line.bytes.size() > kept) {
            line.tooLong = true;
            line.bytes.clear();
        }
        if (chunk.endsWith('\n'))
            break;
    }
    if (!any)
        return std::nullopt;
    if (line.bytes.endsWith('\n'))
        line.bytes.chop(1);
    if (line.bytes.endsWith('\r'))
        line.bytes.chop(1);
    if (line.bytes.size() > CsvReader::MaxLineChars) {
        line.tooLong = true;
        line.bytes.clear();
    }
    return line;
}

// A line as a row of the history: split in place when it holds no quote,
// through the quoting rules otherwise (an event text with a comma).
bool applyLine(const QByteArray& bytes, ReadingHistory& history) {
    const QString line = QString::fromUtf8(bytes);
    Fields fields;
    if (!line.contains(u'"'))
        return splitPlainRow(line, fields) && applyRow(fields, history);
    const auto quoted = CsvFormat::splitRow(line);
    if (!quoted || quoted->size() != CsvFormat::ColumnCount)
        return false;
    std::copy(quoted->cbegin(), quoted->cend(), fields.begin());
    return applyRow(fields, history);
}

} // namespace

CsvReader::Result CsvReader::read(QIODevice& device) {
    Result result;
    const auto first = nextLine(device);
    QByteArray header = first ? first->bytes : QByteArray();
    // A spreadsheet that saved the file again may have put a mark in front.
    if (header.startsWith("\xEF\xBB\xBF"))
        header.remove(0, 3);
    if (header != CsvFormat::header().toUtf8()) {
        result.error = QCoreApplication::translate("CsvReader", "表头不是记录文件的表头");
        return result;
    }
    result.history = std::make_unique<ReadingHistory>(fileLimits());
    qint64 number = 1;
    while (const auto line = nextLine(device)) {
        ++number;
        ++result.rows;
        if (line->tooLong || !applyLine(line->bytes, *result.history)) {
            ++result.malformed;
            if (result.malformedLines.size() < KeptLineNumbers)
                result.malformedLines << number;
        }
    }
    return result;
}

CsvReader::Result CsvReader::readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Result result;
        result.error = file.errorString();
        return result;
    }
    if (file.size() > MaxFileBytes) {
        Result result;
        result.error = QCoreApplication::translate("CsvReader", "文件大于 %1 MB")
                           .arg(MaxFileBytes / (1024 * 1024));
        return result;
    }
    return read(file);
}
