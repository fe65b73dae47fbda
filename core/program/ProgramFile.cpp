#include "ProgramFile.h"

#include "protocol/NumberText.h"
#include "record/CsvFormat.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>
#include <variant>

namespace {

using Kind = ProgramFile::Problem::Kind;

ProgramFile::Result failure(Kind kind, int line = 0, int column = 0, QString detail = {}) {
    return {{}, ProgramFile::Problem{kind, line, column, std::move(detail)}, false};
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

// The number of columns a header line names (4, or 5 with "until"); 0 when
// the line is no header.
int headerColumns(const std::optional<QStringList>& fields) {
    if (!fields)
        return 0;
    const QStringList names = ProgramFile::header(true).split(u',');
    if (fields->size() < names.size() - 1 || fields->size() > names.size())
        return 0;
    for (int c = 0; c < fields->size(); ++c)
        if (fields->at(c).compare(names[c], Qt::CaseInsensitive) != 0)
            return 0;
    return int(fields->size());
}

// One step's line under a header of `columns` columns: a spreadsheet leaves
// an empty "until" off the end of the line.
std::variant<ProgramStep, ProgramFile::Problem> stepOf(const std::optional<QStringList>& fields,
                                                       int line, int columns) {
    const auto problem = [line](Kind kind, int column = 0) {
        return ProgramFile::Problem{kind, line, column, {}};
    };
    if (!fields || fields->size() < 4 || fields->size() > columns)
        return ProgramFile::Problem{Kind::ColumnCount, line, 0, ProgramFile::header(columns == 5)};
    ProgramStep step;
    double* const numbers[] = {&step.voltage, &step.current, &step.dwellSeconds};
    for (int c = 0; c < 3; ++c) {
        const std::optional<double> value = NumberText::parseDecimal(fields->at(c));
        if (!value)
            return problem(Kind::NotANumber, c + 1);
        *numbers[c] = *value;
    }
    if (!ProgramLimits::dwellAllowed(step.dwellSeconds))
        return problem(Kind::Dwell, 3);
    const QString& output = fields->at(3);
    if (output.compare(QLatin1String("on"), Qt::CaseInsensitive) == 0)
        step.output = OutputState::On;
    else if (output.compare(QLatin1String("off"), Qt::CaseInsensitive) == 0)
        step.output = OutputState::Off;
    else
        return problem(Kind::Output, 4);
    const QString until = fields->value(4);
    if (!until.isEmpty()) {
        step.until = StepCondition::parse(until);
        if (!step.until)
            return problem(Kind::Condition, 5);
    }
    return step;
}

} // namespace

QString ProgramFile::header(bool withUntil) {
    return withUntil ? QStringLiteral("voltage_V,current_A,dwell_s,output,until")
                     : QStringLiteral("voltage_V,current_A,dwell_s,output");
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
    int columns = 0;
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
        if (columns == 0) {
            columns = headerColumns(fields);
            if (columns == 0)
                return failure(Kind::NoHeader, number);
            result.withUntil = columns == 5;
            continue;
        }
        std::variant<ProgramStep, Problem> step = stepOf(fields, number, columns);
        if (auto* problem = std::get_if<Problem>(&step))
            return {{}, std::move(*problem), false};
        if (int(result.steps.size()) == ProgramLimits::MaxSteps)
            return failure(Kind::TooManySteps, number);
        result.steps.push_back(std::get<ProgramStep>(std::move(step)));
    }
    if (columns == 0)
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

QByteArray ProgramFile::text(const ProgramSteps& steps, bool withUntil) {
    // A condition is never dropped for the sake of the older form.
    withUntil = withUntil || std::any_of(steps.begin(), steps.end(),
                                         [](const ProgramStep& step) { return step.until; });
    QByteArray bytes = header(withUntil).toUtf8() + '\n';
    for (const ProgramStep& step : steps) {
        QStringList fields{CsvFormat::numberText(step.voltage), CsvFormat::numberText(step.current),
                           CsvFormat::numberText(step.dwellSeconds),
                           CsvFormat::outputText(step.output)};
        if (withUntil)
            fields.append(step.until ? step.until->text() : QString());
        bytes += CsvFormat::line(fields);
    }
    return bytes;
}

bool ProgramFile::write(const QString& path, const ProgramSteps& steps, QString* error,
                        bool withUntil) {
    // The old file stays whole until the new one is complete.
    QSaveFile file(path);
    const QByteArray bytes = text(steps, withUntil);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

QString ProgramFile::describe(const Problem& problem) {
    switch (problem.kind) {
    case Kind::Unreadable:
        return tr("无法读取文件：%1").arg(problem.detail);
    case Kind::TooLarge:
        return tr("文件太大：程序文件最多 %1 字节").arg(MaxBytes);
    case Kind::NotUtf8:
        return tr("文件不是 UTF-8 文本");
    case Kind::NoHeader:
        return tr("第 %1 行：第一行应为 %2").arg(problem.line).arg(header());
    case Kind::ColumnCount:
        return tr("第 %1 行：列应为 %2").arg(problem.line).arg(problem.detail);
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
    case Kind::Condition:
        return tr("第 %1 行第 %2 列：结束条件应为空，或 I<数、I>数、V<数、V>数 之一（如 I<0.05）")
            .arg(problem.line)
            .arg(problem.column);
    }
    return QString();
}
