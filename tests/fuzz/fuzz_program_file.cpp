// A programmed run's list file (program/ProgramFile.h) against properties
// that hold whatever the bytes:
//   - a file is either accepted whole (steps, no problem) or refused (a
//     problem, no steps);
//   - refused because of its size exactly when it is over 1 MiB, as not
//     UTF-8 exactly when it is not (and within the size);
//   - accepted: 1 to 10000 steps, every dwell within 0.1 s to 604800 s,
//     every voltage and current finite; one step for every line with a
//     letter in it but the header (the lines left out hold only blanks,
//     commas and quotes); the list written out again reads back the same;
//   - refused with a line named: the line exists, the file cut before it is
//     not refused at any line, the file cut after it is refused at that line
//     for the same reason; a column named is the one that reason concerns;
//   - the operator's sentence names the line.
//
// Input: [0-1] a repeat count R (little-endian, up to 65535), [2] where the
// text splits (in 256ths of its length); then the text. The file is the
// text's first part once and its second part R + 1 times, so that inputs far
// below the fuzzer's length reach the bounds on steps and size.

#include "FuzzInput.h"
#include "program/ProgramFile.h"

#include <QString>
#include <QStringView>

#include <cmath>
#include <cstdint>

namespace {

using Kind = ProgramFile::Problem::Kind;

constexpr std::size_t HeaderSize = 3;

// One piece beyond the size bound is as good as a thousand.
const FileLayout Layout{HeaderSize, false, ProgramFile::MaxBytes, {}};

bool isUtf8(const QByteArray& bytes) {
    // Qt's reader puts a replacement character for every malformed sequence;
    // the letter in front keeps it from taking a byte-order mark away.
    const QByteArray marked = 'a' + bytes;
    return QString::fromUtf8(marked).toUtf8() == marked;
}

bool hasLetter(QStringView line) {
    for (QChar c : line)
        if (c.isLetter())
            return true;
    return false;
}

// The first `count` lines of the file, each with its line feed.
QByteArray firstLines(const QByteArray& file, int count) {
    qsizetype end = 0;
    for (int i = 0; i < count && end >= 0; ++i) {
        end = file.indexOf('\n', end);
        if (end >= 0)
            ++end;
    }
    return end < 0 ? file : file.left(end);
}

QString described(const ProgramFile::Result& result) {
    if (!result.problem)
        return QStringLiteral("%1 steps").arg(result.steps.size());
    return QStringLiteral("kind %1 line %2 column %3")
        .arg(int(result.problem->kind))
        .arg(result.problem->line)
        .arg(result.problem->column);
}

void checkAccepted(const QByteArray& file, const ProgramSteps& steps) {
    if (steps.empty() || int(steps.size()) > ProgramLimits::MaxSteps)
        violated("1 to 10000 steps", QString::number(steps.size()));
    for (const ProgramStep& step : steps) {
        if (!(step.dwellSeconds >= ProgramLimits::MinDwellSeconds &&
              step.dwellSeconds <= ProgramLimits::MaxDwellSeconds))
            violated("dwell within its bounds", QString::number(step.dwellSeconds, 'g', 17));
        if (!std::isfinite(step.voltage) || !std::isfinite(step.current))
            violated("finite setpoints",
                     QString::number(step.voltage) + u' ' + QString::number(step.current));
    }
    QString text = QString::fromUtf8(file);
    qsizetype lettered = 0;
    for (QStringView line : QStringView(text).split(u'\n'))
        lettered += hasLetter(line);
    if (qsizetype(steps.size()) != lettered - 1)
        violated("a step for every line with a letter but the header",
                 QStringLiteral("%1 steps, %2 such lines").arg(steps.size()).arg(lettered));
    const ProgramFile::Result again = ProgramFile::parse(ProgramFile::text(steps));
    if (again.problem || again.steps != steps)
        violated("the list written out reads back the same", described(again));
}

bool namesColumn(Kind kind, int column) {
    switch (kind) {
    case Kind::NotANumber:
        return column >= 1 && column <= 3;
    case Kind::Dwell:
        return column == 3;
    case Kind::Output:
        return column == 4;
    default:
        return column == 0;
    }
}

void checkRefused(const QByteArray& file, const ProgramFile::Problem& problem) {
    const QString detail = described({{}, problem});
    if ((problem.kind == Kind::TooLarge) != (file.size() > ProgramFile::MaxBytes))
        violated("refused as too large exactly when over the bound", detail);
    if (problem.kind != Kind::TooLarge && (problem.kind == Kind::NotUtf8) == isUtf8(file))
        violated("refused as not UTF-8 exactly when it is not", detail);
    if (!namesColumn(problem.kind, problem.column))
        violated("the column its reason concerns", detail);
    const QString sentence = ProgramFile::describe(problem);
    if (sentence.isEmpty() ||
        (problem.line > 0 && !sentence.contains(QString::number(problem.line))))
        violated("the sentence names the line", sentence);
    if (problem.line <= 0 || problem.kind == Kind::NoHeader)
        return;
    if (problem.line > file.count('\n') + 1)
        violated("the line named exists", detail);
    const ProgramFile::Result before = ProgramFile::parse(firstLines(file, problem.line - 1));
    if (before.problem && before.problem->line > 0 && before.problem->kind != Kind::NoHeader)
        violated("the lines before the one named are not refused",
                 detail + QStringLiteral(" before: ") + described(before));
    const ProgramFile::Result through = ProgramFile::parse(firstLines(file, problem.line));
    if (!through.problem || through.problem->kind != problem.kind ||
        through.problem->line != problem.line)
        violated("the lines through the one named are refused there",
                 detail + QStringLiteral(" through: ") + described(through));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray file = fileOf(data, size, Layout);
    const ProgramFile::Result result = ProgramFile::parse(file);
    if (result.problem.has_value() == !result.steps.empty())
        violated("accepted whole or refused", described(result));
    if (result.problem)
        checkRefused(file, *result.problem);
    else
        checkAccepted(file, result.steps);
    return 0;
}
