#include "ProgramFile.h"

#include "protocol/NumberText.h"
#include "record/CsvFormat.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace {

using Kind = ProgramFile::Problem::Kind;

ProgramFile::Result failure(Kind kind, int line = 0, int column = 0, QString detail = {}) {
    return {{}, ProgramFile::Problem{kind, line, column, std::move(detail)}};
}

// The fields of a line with blanks around them dropped and empty trailing
// columns (a spreadsheet's untouched cells) left off; nothing when a quote
// is not closed.
std::optional<QStringList> fieldsOf(QStringView line) {
    std::optional<QStringList> fields = CsvFormat::splitRow(line.trimmed());
    if (!fields)
        return std::nullopt;
    for (QString& field : *fields)
        field = field.trimmed();
    while (fields->size() > 1 && fields->last().isEmpty())
        fields->removeLast();
    return fields;
}

} // namespace

QString ProgramFile::header() {
    return QStringLiteral("voltage_V,current_A,dwell_s,output");
}

ProgramFile::Result ProgramFile::parse(const QByteArray& bytes) {
    if (bytes.size() > MaxBytes)
        return failure(Kind::TooLarge);
    QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decode(bytes);
    if (decode.hasError())
        return failure(Kind::NotUtf8);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);

    Result result;
    bool headerSeen = false;
    int number = 0;
    for (QStringView line : QStringView(text).split(u'\n')) {
        ++number;
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.size() > MaxLineLength)
            return failure(Kind::LineTooLong, number);
        const std::optional<QStringList> fields = fieldsOf(line);
        if (fields && fields->size() == 1 && fields->first().isEmpty())
            continue;
        if (!headerSeen) {
            const QStringList expected = header().split(u',');
            if (!fields || fields->size() != expected.size())
                return failure(Kind::NoHeader, number);
            for (int c = 0; c < expected.size(); ++c)
                if (fields->at(c).compare(expected[c], Qt::CaseInsensitive) != 0)
                    return failure(Kind::NoHeader, number);
            headerSeen = true;
            continue;
        }
        if (!fields || fields->size() != 4)
            return failure(Kind::ColumnCount, number);
        ProgramStep step;
        double* const numbers[] = {&step.voltage, &step.current, &step.dwellSeconds};
        for (int c = 0; c < 3; ++c) {
            const std::optional<double> value = NumberText::parseDecimal(fields->at(c));
            if (!value)
                return failure(Kind::NotANumber, number, c + 1);
            *numbers[c] = *value;
        }
        if (!ProgramLimits::dwellAllowed(step.dwellSeconds))
            return failure(Kind::Dwell, number, 3);
        const QString& output = fields->at(3);
        if (output.compare(QLatin1String("on"), Qt::CaseInsensitive) == 0)
            step.output = OutputState::On;
        else if (output.compare(QLatin1String("off"), Qt::CaseInsensitive) == 0)
            step.output = OutputState::Off;
        else
            return failure(Kind::Output, number, 4);
        if (int(result.steps.size()) == ProgramLimits::MaxSteps)
            return failure(Kind::TooManySteps, number);
        result.steps.push_back(step);
    }
    if (!headerSeen)
        return failure(Kind::NoHeader, 1);
    if (result.steps.empty())
        return failure(Kind::NoSteps);
    return result;
}

ProgramFile::Result ProgramFile::read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failure(Kind::Unreadable, 0, 0, file.errorString());
    // One byte beyond the bound tells a file that is too large without
    // reading all of it.
    const QByteArray bytes = file.read(MaxBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return failure(Kind::Unreadable, 0, 0, file.errorString());
    return parse(bytes);
}

QByteArray ProgramFile::text(const ProgramSteps& steps) {
    QByteArray bytes = header().toUtf8() + '\n';
    for (const ProgramStep& step : steps)
        bytes += CsvFormat::line(
            {CsvFormat::numberText(step.voltage), CsvFormat::numberText(step.current),
             CsvFormat::numberText(step.dwellSeconds), CsvFormat::outputText(step.output)});
    return bytes;
}

bool ProgramFile::write(const QString& path, const ProgramSteps& steps, QString* error) {
    // The old file stays whole until the new one is complete.
    QSaveFile file(path);
    const QByteArray bytes = text(steps);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

QString ProgramFile::describe(const Problem& problem) {
    const QString columns = header();
    switch (problem.kind) {
    case Kind::Unreadable:
        return tr("无法读取文件：%1").arg(problem.detail);
    case Kind::TooLarge:
        return tr("文件太大：程序文件最多 %1 字节").arg(MaxBytes);
    case Kind::NotUtf8:
        return tr("文件不是 UTF-8 文本");
    case Kind::NoHeader:
        return tr("第 %1 行：第一行应为 %2").arg(problem.line).arg(columns);
    case Kind::ColumnCount:
        return tr("第 %1 行：应有四列 %2").arg(problem.line).arg(columns);
    case Kind::NotANumber:
        return tr("第 %1 行第 %2 列：不是数字（小数点用 .）").arg(problem.line).arg(problem.column);
    case Kind::Dwell:
        return tr("第 %1 行：停留时间应在 %2 到 %3 秒之间")
            .arg(problem.line)
            .arg(ProgramLimits::MinDwellSeconds)
            .arg(ProgramLimits::MaxDwellSeconds);
    case Kind::Output:
        return tr("第 %1 行：输出应为 on 或 off").arg(problem.line);
    case Kind::TooManySteps:
        return tr("第 %1 行：程序最多 %2 步").arg(problem.line).arg(ProgramLimits::MaxSteps);
    case Kind::NoSteps:
        return tr("文件中没有步骤");
    case Kind::LineTooLong:
        return tr("第 %1 行：行太长").arg(problem.line);
    }
    return QString();
}
