#include "ScpiParser.h"

#include "protocol/NumberText.h"

#include <QRegularExpression>

namespace Scpi {

namespace {

enum class Forms { QueryOnly, SettingOnly, Both };

struct Node {
    QString longForm; // upper case
    QString shortForm;
    bool optional;
};

struct Row {
    const char* pattern;
    Header header;
    Forms forms;
};

// Headers as SCPI-99 writes them: the short form in capitals, optional nodes
// in brackets.
const Row Rows[] = {
    {"*IDN", Header::Identify, Forms::QueryOnly},
    {"*CLS", Header::ClearStatus, Forms::SettingOnly},
    {"*OPC", Header::OperationComplete, Forms::Both},
    {"*WAI", Header::Wait, Forms::SettingOnly},
    {"SYSTem:ERRor[:NEXT]", Header::SystemError, Forms::QueryOnly},
    {"SYSTem:VERSion", Header::SystemVersion, Forms::QueryOnly},
    {"MEASure[:SCALar]:VOLTage[:DC]", Header::MeasureVoltage, Forms::QueryOnly},
    {"MEASure[:SCALar]:CURRent[:DC]", Header::MeasureCurrent, Forms::QueryOnly},
    {"MEASure[:SCALar]:POWer[:DC]", Header::MeasurePower, Forms::QueryOnly},
    {"FETCh[:SCALar]:VOLTage[:DC]", Header::FetchVoltage, Forms::QueryOnly},
    {"FETCh[:SCALar]:CURRent[:DC]", Header::FetchCurrent, Forms::QueryOnly},
    {"[SOURce]:VOLTage[:LEVel][:IMMediate][:AMPLitude]", Header::Voltage, Forms::Both},
    {"[SOURce]:CURRent[:LEVel][:IMMediate][:AMPLitude]", Header::Current, Forms::Both},
    {"[SOURce]:VOLTage:PROTection[:LEVel]", Header::VoltageProtection, Forms::Both},
    {"[SOURce]:CURRent:PROTection[:LEVel]", Header::CurrentProtection, Forms::Both},
    {"OUTPut[:STATe]", Header::Output, Forms::Both},
    {"OUTPut:PROTection:CLEar", Header::OutputProtectionClear, Forms::SettingOnly},
    {"INSTrument:NSELect", Header::Channel, Forms::Both},
    {"[SOURce]:MODE", Header::Mode, Forms::Both},
    {"FETCh[:SCALar]:POWer[:DC]", Header::FetchPower, Forms::QueryOnly},
    {"FETCh[:SCALar]:WHOur", Header::FetchWattHours, Forms::QueryOnly},
    {"FETCh[:SCALar]:AHOur", Header::FetchAmpHours, Forms::QueryOnly},
    {"SENSe:WHOur:RESet", Header::ResetWattHours, Forms::SettingOnly},
    {"SENSe:AHOur:RESet", Header::ResetAmpHours, Forms::SettingOnly},
    {"SYSTem:WDOG", Header::Watchdog, Forms::Both},
};

QList<Node> nodesOf(const QString& pattern) {
    static const QRegularExpression node(QStringLiteral("(\\[?):?([*A-Za-z]+)\\]?"));
    QList<Node> nodes;
    for (auto it = node.globalMatch(pattern); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString keyword = m.captured(2);
        QString shortForm;
        for (QChar c : keyword)
            if (!c.isLower())
                shortForm += c;
        nodes.append({keyword.toUpper(), shortForm, !m.captured(1).isEmpty()});
    }
    return nodes;
}

struct Pattern {
    QList<Node> nodes;
    Header header;
    Forms forms;
};

const QList<Pattern>& patterns() {
    static const QList<Pattern> table = [] {
        QList<Pattern> list;
        for (const Row& row : Rows)
            list.append({nodesOf(QLatin1String(row.pattern)), row.header, row.forms});
        return list;
    }();
    return table;
}

bool matches(const QList<Node>& nodes, qsizetype n, const QStringList& keys, qsizetype k) {
    if (n == nodes.size())
        return k == keys.size();
    const Node& node = nodes[n];
    if (k < keys.size() && (keys[k] == node.longForm || keys[k] == node.shortForm) &&
        matches(nodes, n + 1, keys, k + 1))
        return true;
    return node.optional && matches(nodes, n + 1, keys, k);
}

const Pattern* find(const QStringList& keys) {
    for (const Pattern& pattern : patterns())
        if (matches(pattern.nodes, 0, keys, 0))
            return &pattern;
    return nullptr;
}

bool isKeyword(const QString& key) {
    static const QRegularExpression word(QStringLiteral("^\\*?[A-Z][A-Z0-9]*$"));
    return word.match(key).hasMatch();
}

} // namespace

QString errorReply(int code) {
    static const QList<QPair<int, const char*>> texts = {
        {NoError, "No error"},
        {CommandError, "Command error"},
        {DataTypeError, "Data type error"},
        {ParameterNotAllowed, "Parameter not allowed"},
        {MissingParameter, "Missing parameter"},
        {UndefinedHeader, "Undefined header"},
        {DataOutOfRange, "Data out of range"},
        {IllegalParameterValue, "Illegal parameter value"},
        {DataStale, "Data corrupt or stale"},
        {HardwareError, "Hardware error"},
        {QueueOverflow, "Queue overflow"},
    };
    for (const auto& [known, text] : texts)
        if (known == code)
            return QString::number(code) + QStringLiteral(",\"") + QLatin1String(text) + u'"';
    return QString::number(code) + QStringLiteral(",\"\"");
}

QList<Parsed> parseLine(const QString& line) {
    QList<Parsed> parsed;
    QStringList path; // the nodes above the last header
    for (const QString& part : line.split(u';')) {
        const QString unit = part.trimmed();
        if (unit.isEmpty())
            continue;
        static const QRegularExpression whiteSpace(QStringLiteral("\\s"));
        const qsizetype blank = unit.indexOf(whiteSpace);
        QString header = blank < 0 ? unit : unit.left(blank);
        const QString argument = blank < 0 ? QString() : unit.mid(blank + 1).trimmed();
        const bool query = header.endsWith(u'?');
        if (query)
            header.chop(1);
        const bool rooted = header.startsWith(u':') || header.startsWith(u'*');
        if (header.startsWith(u':'))
            header.remove(0, 1);
        const QStringList keys = header.toUpper().split(u':');
        bool wellFormed = !header.isEmpty();
        for (const QString& key : keys)
            wellFormed = wellFormed && isKeyword(key);
        if (!wellFormed) {
            parsed.append({std::nullopt, CommandError});
            continue;
        }
        // After ";" a header is read below the path of the one before it, as
        // SCPI-99 has it; a header found only from the root is taken too.
        QStringList full = keys;
        const Pattern* pattern = nullptr;
        if (!rooted && !path.isEmpty()) {
            full = path + keys;
            pattern = find(full);
        }
        if (!pattern) {
            full = keys;
            pattern = find(full);
        }
        // Common commands leave the path where it was.
        if (pattern && !header.startsWith(u'*'))
            path = full.mid(0, full.size() - 1);
        if (!pattern || (query && pattern->forms == Forms::SettingOnly) ||
            (!query && pattern->forms == Forms::QueryOnly)) {
            parsed.append({std::nullopt, UndefinedHeader});
            continue;
        }
        const bool takesArgument =
            !query && pattern->header != Header::ClearStatus &&
            pattern->header != Header::OperationComplete && pattern->header != Header::Wait &&
            pattern->header != Header::OutputProtectionClear &&
            pattern->header != Header::ResetWattHours && pattern->header != Header::ResetAmpHours;
        if (!takesArgument && !argument.isEmpty()) {
            parsed.append({std::nullopt, ParameterNotAllowed});
            continue;
        }
        if (takesArgument && argument.isEmpty()) {
            parsed.append({std::nullopt, MissingParameter});
            continue;
        }
        parsed.append({Command{pattern->header, query, argument}, NoError});
    }
    return parsed;
}

std::optional<double> number(const QString& text) {
    return NumberText::parseDecimal(text);
}

std::optional<bool> boolean(const QString& text) {
    const QString word = text.toUpper();
    if (word == QLatin1String("ON") || word == QLatin1String("1"))
        return true;
    if (word == QLatin1String("OFF") || word == QLatin1String("0"))
        return false;
    return std::nullopt;
}

std::optional<int> choice(const QString& text, int low, int high) {
    if (text.size() != 1 || text[0] < u'0' || text[0] > u'9')
        return std::nullopt;
    const int value = text[0].unicode() - u'0';
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

} // namespace Scpi
