// A recording opened in the trend window (record/CsvReader.h) against
// properties that hold whatever the bytes:
//   - no crash; a file is refused exactly when its first line (a byte-order
//     mark aside, a CR before its line feed aside) is not the header;
//   - the rows are the lines after the header, counted here by splitting at
//     line feeds; the skipped lines are those that a line of its own behind
//     the header does not pass, or that are longer than MaxLineChars bytes
//     without their line end; the first few of them are named by number;
//   - every row that is not skipped is one point or one event in the
//     history, or counted among those dropped beyond its limits;
//   - while it reads, the heap grows by no more than a bounded multiple of
//     the file's size (measured through the sanitizer's allocation hooks, so
//     only in the sanitizer builds).
//
// Input: [0-1] a repeat count R (little-endian, up to 65535), [2] and [3]
// where the text's middle part begins and ends (in 256ths of its length),
// [4] bit 0: put the header line in front; then the text. The file is the
// header line when asked for, then the text with its middle part R + 1
// times: long lines and many rows from short inputs.

#include "FuzzInput.h"
#include "record/CsvFormat.h"
#include "record/CsvReader.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QHash>
#include <QString>

#include <algorithm>
#include <cstdint>

extern "C" {
// The sanitizer runtime's, where there is one.
__attribute__((weak)) int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*,
                                                                             std::size_t),
                                                                    void (*)(const volatile void*));
__attribute__((weak)) std::size_t __sanitizer_get_allocated_size(const volatile void*);
}

namespace {

constexpr std::size_t HeaderSize = 5;
// Room for many rows and lines far past the bound; more only slows the runs.
constexpr qint64 MaxFileBytes = 64 * 1024;
// Qt's and the history's first allocations, the line buffers, one too-long line.
constexpr qint64 FixedBytes = 256 * 1024;
constexpr qint64 BytesPerFileByte = 8;

struct HeapWatch {
    bool on = false;
    qint64 current = 0;
    qint64 peak = 0;
};
HeapWatch heap;

void onMalloc(const volatile void*, std::size_t size) {
    if (!heap.on)
        return;
    heap.current += qint64(size);
    heap.peak = std::max(heap.peak, heap.current);
}

void onFree(const volatile void* pointer) {
    if (heap.on && pointer)
        heap.current -= qint64(__sanitizer_get_allocated_size(pointer));
}

FileLayout layoutOf(const std::uint8_t* data, std::size_t size) {
    const bool header = size >= HeaderSize && (data[4] & 1);
    return {HeaderSize, true, MaxFileBytes,
            header ? CsvFormat::header().toUtf8() + '\n' : QByteArray()};
}

CsvReader::Result readMeasured(const QByteArray& file) {
    QBuffer buffer;
    buffer.setData(file);
    buffer.open(QIODevice::ReadOnly);
    heap = HeapWatch{true, 0, 0};
    CsvReader::Result result = CsvReader::read(buffer);
    heap.on = false;
    return result;
}

CsvReader::Result readAlone(const QByteArray& file) {
    QBuffer buffer;
    buffer.setData(file);
    buffer.open(QIODevice::ReadOnly);
    return CsvReader::read(buffer);
}

// The file's lines without their line feeds; a last one only when it holds
// anything.
QList<QByteArray> linesOf(const QByteArray& file) {
    QList<QByteArray> lines = file.split('\n');
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QByteArray withoutCr(QByteArray line) {
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

bool rowPasses(const QByteArray& headerLine, const QByteArray& line) {
    if (withoutCr(line).size() > CsvReader::MaxLineChars)
        return false;
    const CsvReader::Result alone = readAlone(headerLine + '\n' + line);
    return alone.history && alone.rows == 1 && alone.malformed == 0;
}

qint64 keptCount(const ReadingHistory& history) {
    qint64 count = qint64(history.events().size()) + history.dropped();
    for (int q = 0; q < ReadingHistory::QuantityCount; ++q)
        count += qint64(history.points(Quantity(q)).size());
    return count;
}

void checkRows(const QList<QByteArray>& lines, const CsvReader::Result& result) {
    qint64 skipped = 0;
    QList<qint64> named;
    // A repeated part gives the same lines again and again.
    QHash<QByteArray, bool> passes;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        auto known = passes.find(lines[i]);
        if (known == passes.end())
            known = passes.insert(lines[i], rowPasses(lines.first(), lines[i]));
        if (*known)
            continue;
        ++skipped;
        if (named.size() < CsvReader::KeptLineNumbers)
            named << i + 1;
    }
    const QString counts = QStringLiteral("%1 rows, %2 skipped; read %3 rows, %4 skipped")
                               .arg(lines.size() - 1)
                               .arg(skipped)
                               .arg(result.rows)
                               .arg(result.malformed);
    if (result.rows != lines.size() - 1)
        violated("the rows are the lines after the header", counts);
    if (result.malformed != skipped)
        violated("the skipped lines counted right", counts);
    if (result.malformedLines != named)
        violated("the first skipped lines named", counts);
    if (keptCount(*result.history) != result.rows - result.malformed)
        violated("every row kept is a point or an event",
                 counts + QStringLiteral(", kept %1").arg(keptCount(*result.history)));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static int argc = 1;
    static char name[] = "fuzz_csv_reader";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
    if (__sanitizer_install_malloc_and_free_hooks && __sanitizer_get_allocated_size)
        __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree);
    // The time zone and the translations load once, on the first file.
    readAlone(CsvFormat::header().toUtf8() +
              "\n2026-12-07T15:31:00.512+01:00,measured_voltage_V,5,,,,,,,,,\n");
    readAlone(QByteArray("not a header"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray file = fileOf(data, size, layoutOf(data, size));
    const CsvReader::Result result = readMeasured(file);
    const QList<QByteArray> lines = linesOf(file);
    QByteArray first = lines.isEmpty() ? QByteArray() : withoutCr(lines.first());
    if (first.startsWith("\xEF\xBB\xBF"))
        first.remove(0, 3);
    const bool header = first == CsvFormat::header().toUtf8();
    if (!result.history != !header || result.error.isEmpty() == !header)
        violated("refused exactly without the header", result.error);
    const qint64 bound = FixedBytes + BytesPerFileByte * file.size();
    if (heap.peak > bound)
        violated("memory bounded by the file's size",
                 QStringLiteral("%1 bytes at most for %2 bytes").arg(heap.peak).arg(file.size()));
    if (result.history)
        checkRows(lines, result);
    return 0;
}
