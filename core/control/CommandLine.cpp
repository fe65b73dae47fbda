#include "CommandLine.h"

#include "DurationText.h"
#include "protocol/NumberText.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <functional>
#include <netinet/in.h>

namespace {

// Longer values are a mistake; they are refused before anything uses them.
constexpr int kMaxValueLength = 4096;
constexpr int kShownLength = 60;

// A value as an error line shows it: one line, not too long.
QString shown(const QString& value) {
    QString text = value.left(kShownLength);
    for (QChar& c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = u'?';
    return u'\'' + text +
           (value.size() > kShownLength ? QStringLiteral("...'") : QStringLiteral("'"));
}

// Qt's parser quotes an unknown option whole: its error is made one line
// of printable text, cut as a shown value is.
QString parserError(const QString& text) {
    constexpr int kLongest = 2 * kShownLength;
    QString line = text.left(kLongest);
    for (QChar& c : line)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = u'?';
    return text.size() > kLongest ? line + QStringLiteral("...") : line;
}

bool hasControlCharacter(const QString& text) {
    for (QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    return false;
}

bool isWholeNumber(const QString& text) {
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// COMn with n from 1 to 255, the numbers the port list can hold, in any
// case; or an absolute device path, which need not exist yet (an adapter
// not yet plugged in, for --reconnect).
std::optional<QString> portText(const QString& value) {
    const QString number = value.mid(3);
    if (value.startsWith(QLatin1String("COM"), Qt::CaseInsensitive) && number.size() <= 3 &&
        isWholeNumber(number)) {
        const int n = number.toInt();
        if (n < 1 || n > 255)
            return std::nullopt;
        return QStringLiteral("COM") + QString::number(n);
    }
    if (value.startsWith(u'/') && value.size() > 1 && !hasControlCharacter(value))
        return value;
    return std::nullopt;
}

std::optional<LaunchOptions::LineTexts> lineTexts(const QString& value) {
    const QStringList fields = value.split(u',');
    if (fields.size() != 4)
        return std::nullopt;
    LaunchOptions::LineTexts texts;

    bool ok = false;
    const int baud = fields[0].toInt(&ok);
    if (!isWholeNumber(fields[0]) || !ok || baud <= 0)
        return std::nullopt;
    texts.baud = QString::number(baud);

    static const QStringList parities = {QStringLiteral("NONE"), QStringLiteral("ODD"),
                                         QStringLiteral("ENEV"), QStringLiteral("SPACE"),
                                         QStringLiteral("MARK")};
    if (fields[1].size() != 1)
        return std::nullopt;
    // The list's entries begin with the letters the line settings take.
    for (const QString& entry : parities)
        if (entry.front() == fields[1].front().toUpper())
            texts.parity = entry;
    if (texts.parity.isEmpty())
        return std::nullopt;

    const int dataBits = fields[2].toInt(&ok);
    if (!isWholeNumber(fields[2]) || !ok || dataBits < 5 || dataBits > 8)
        return std::nullopt;
    texts.dataBits = QString::number(dataBits);

    if (fields[3] != QLatin1String("1") && fields[3] != QLatin1String("1.5") &&
        fields[3] != QLatin1String("2"))
        return std::nullopt;
    texts.stopBits = fields[3];
    return texts;
}

// An IPv4 address in four decimal parts or an IPv6 address (with a %scope
// naming an interface), in its shortest form; nothing for anything else. The
// C library reads them, as the servers' own sockets will.
std::optional<QString> addressLiteral(const QString& text) {
    const qsizetype percent = text.indexOf(u'%');
    const QByteArray host = text.left(percent).toLatin1();
    if (host.isEmpty() || host.size() >= INET6_ADDRSTRLEN ||
        QString::fromLatin1(host) != text.left(percent))
        return std::nullopt;
    unsigned char bytes[sizeof(in6_addr)];
    char shortest[INET6_ADDRSTRLEN];
    if (percent < 0 && inet_pton(AF_INET, host.constData(), bytes) == 1)
        return QString::fromLatin1(inet_ntop(AF_INET, bytes, shortest, sizeof shortest));
    if (inet_pton(AF_INET6, host.constData(), bytes) != 1)
        return std::nullopt;
    // An interface's name: up to 15 letters, digits, dots, dashes and
    // underscores.
    const QString scope = percent < 0 ? QString() : text.mid(percent);
    const auto inName = [](QChar c) {
        return c.unicode() < 0x80 && (c.isLetterOrNumber() || c == u'.' || c == u'-' || c == u'_');
    };
    if (percent >= 0 && (scope.size() < 2 || scope.size() > 16 ||
                         !std::all_of(scope.begin() + 1, scope.end(), inName)))
        return std::nullopt;
    return QString::fromLatin1(inet_ntop(AF_INET6, bytes, shortest, sizeof shortest)) + scope;
}

// ADDRESS:PORT, the address IPv4 or IPv6 in brackets, the port 1 to 65535.
std::optional<MetricsAddress> metricsAddress(const QString& value) {
    const qsizetype colon = value.lastIndexOf(u':');
    if (colon <= 0)
        return std::nullopt;
    QString host = value.left(colon);
    const QString portText = value.mid(colon + 1);
    if (host.startsWith(u'[') && host.endsWith(u']'))
        host = host.mid(1, host.size() - 2);
    else if (host.contains(u':'))
        return std::nullopt;
    bool ok = false;
    const int port = portText.toInt(&ok);
    const std::optional<QString> literal = addressLiteral(host);
    if (!isWholeNumber(portText) || !ok || port < 1 || port > 65535 || !literal ||
        literal->contains(u'%'))
        return std::nullopt;
    MetricsAddress address;
    address.address = *literal;
    address.port = quint16(port);
    return address;
}

std::optional<quint16> portNumber(const QString& value) {
    bool ok = false;
    const int port = value.toInt(&ok);
    if (!isWholeNumber(value) || !ok || port < 1 || port > 65535)
        return std::nullopt;
    return quint16(port);
}

// A positive rating number, as a rating list's text reads it.
bool isRating(const QString& text) {
    const std::optional<double> value = NumberText::parseDecimal(text);
    return value && *value > 0;
}

// Reads an option's values into the launch options: an empty text when they
// are good, else the one-line error. An option without a value has one empty
// value per use.
using Reader = std::function<QString(const QStringList& values, LaunchOptions& o)>;

// How an option takes its value. Qt's parser knows no optional values: a
// bare --metrics is read as its default address before Qt sees it, and
// --scpi takes its port only after "=", so that "--scpi --poll" does not
// read "--poll" as a port.
enum class Takes { Nothing, Value, ValueOrDefault, ValueAfterEquals };

struct OptionRow {
    explicit OptionRow(QCommandLineOption given) : option(std::move(given)) {}

    QCommandLineOption option;
    Takes takes = Takes::Value;
    Reader read;
    // Refused when given twice; scpi-listen, poll and reconnect may repeat.
    bool once = true;
    // Another option this one is pointless without, and why, when it is not
    // plain.
    QString needs;
    QString needsWhy;
    // The value of a bare use, for ValueOrDefault and ValueAfterEquals.
    QString bareValue;

    QString name() const { return QStringLiteral("--") + option.names().constFirst(); }
};

QString refusal(const QString& option, const QString& value, const QString& why) {
    return option + QStringLiteral(": ") + shown(value) + u' ' + why;
}

OptionRow valued(const QString& name, const QString& help, const QString& valueName, Reader read) {
    OptionRow row(QCommandLineOption(name, help, valueName));
    row.read = std::move(read);
    return row;
}

OptionRow flag(const QString& name, const QString& help, Reader read) {
    OptionRow row(QCommandLineOption(name, help));
    row.takes = Takes::Nothing;
    row.read = std::move(read);
    row.once = false;
    return row;
}

// --run, --repeat and --rating, the headless program's alone (the window has
// its run window); the list file itself is read when the run starts, so that
// a mistake in it is told in the list's own words.
QList<OptionRow> runOptions() {
    OptionRow run = valued(
        QStringLiteral("run"),
        QStringLiteral("Run this list of setpoints (CSV: voltage_V,current_A,dwell_s,output and "
                       "optionally until) once the port is open; the output is off at its end."),
        QStringLiteral("FILE"), [](const QStringList& v, LaunchOptions& o) {
            if (v[0].isEmpty() || hasControlCharacter(v[0]) || !QFileInfo(v[0]).isFile())
                return refusal(QStringLiteral("--run"), v[0], QStringLiteral("is not a list file"));
            o.runPath = QFileInfo(v[0]).absoluteFilePath();
            return QString();
        });
    run.needs = QStringLiteral("rating");
    run.needsWhy = QStringLiteral("every step is checked against the supply's rating");
    OptionRow repeat = valued(
        QStringLiteral("repeat"),
        QStringLiteral("Run the list N times (1 to 9999) or endless; 1 without it."),
        QStringLiteral("N|endless"), [](const QStringList& v, LaunchOptions& o) {
            bool ok = false;
            const int times = v[0].toInt(&ok);
            if (v[0].compare(QLatin1String("endless"), Qt::CaseInsensitive) == 0)
                o.repeat = 0;
            else if (isWholeNumber(v[0]) && ok && times >= 1 && times <= 9999)
                o.repeat = times;
            else
                return refusal(QStringLiteral("--repeat"), v[0],
                               QStringLiteral("is neither a count from 1 to 9999 nor endless"));
            return QString();
        });
    repeat.needs = QStringLiteral("run");
    OptionRow rating = valued(
        QStringLiteral("rating"),
        QStringLiteral("The supply's rated voltage and current, such as 30,3: the limits every "
                       "step of the list must keep, as the panel's rating lists set them."),
        QStringLiteral("VOLTS,AMPS"), [](const QStringList& v, LaunchOptions& o) {
            const QStringList parts = v[0].split(u',');
            if (parts.size() != 2 || !isRating(parts[0]) || !isRating(parts[1]))
                return refusal(QStringLiteral("--rating"), v[0],
                               QStringLiteral("is not VOLTS,AMPS such as 30,3"));
            o.rating = LaunchOptions::Rating{parts[0], parts[1]};
            return QString();
        });
    return {run, repeat, rating};
}

// The line's connection: the port, its settings, polling, the recording and
// reconnection.
QList<OptionRow> lineOptions() {
    OptionRow poll = flag(QStringLiteral("poll"),
                          QStringLiteral("Start polling once the port is open (needs --port)."),
                          [](const QStringList&, LaunchOptions& o) {
                              o.poll = true;
                              return QString();
                          });
    poll.needs = QStringLiteral("port");
    return {
        valued(QStringLiteral("port"),
               QStringLiteral("Open this port at start-up, as the port button does: COMn (1 to "
                              "255) or a device path such as /dev/ttyUSB0."),
               QStringLiteral("COMn|DEVICE"),
               [](const QStringList& v, LaunchOptions& o) {
                   const std::optional<QString> text = portText(v[0]);
                   if (!text)
                       return refusal(QStringLiteral("--port"), v[0],
                                      QStringLiteral("is neither COMn (n from 1 to 255) nor an "
                                                     "absolute device path such as /dev/ttyUSB0"));
                   o.port = *text;
                   return QString();
               }),
        valued(QStringLiteral("settings"),
               QStringLiteral("Line settings for the four setting lists: baud rate, parity (N, O, "
                              "E, S or M), data bits (5 to 8), stop bits (1, 1.5 or 2)."),
               QStringLiteral("9600,N,8,1"),
               [](const QStringList& v, LaunchOptions& o) {
                   o.settings = lineTexts(v[0]);
                   if (!o.settings)
                       return refusal(QStringLiteral("--settings"), v[0],
                                      QStringLiteral("is not BAUD,PARITY,DATA,STOP such as "
                                                     "9600,N,8,1 (parity N, O, E, S or M; data "
                                                     "bits 5 to 8; stop bits 1, 1.5 or 2)"));
                   return QString();
               }),
        poll,
        valued(QStringLiteral("record"),
               QStringLiteral("Record to this CSV file from start-up; the file must not exist "
                              "yet."),
               QStringLiteral("FILE"),
               [](const QStringList& v, LaunchOptions& o) {
                   const QString name = QStringLiteral("--record");
                   if (v[0].isEmpty() || hasControlCharacter(v[0]))
                       return refusal(name, v[0], QStringLiteral("is not a file name"));
                   const QFileInfo file(v[0]);
                   if (file.exists() || file.isSymLink())
                       return refusal(name, v[0],
                                      QStringLiteral("exists already; give a new file name"));
                   if (!file.dir().exists())
                       return QStringLiteral("--record: the folder of ") + shown(v[0]) +
                              QStringLiteral(" does not exist");
                   o.recordPath = file.absoluteFilePath();
                   return QString();
               }),
        flag(QStringLiteral("reconnect"),
             QStringLiteral("Reopen the port every 2 s after the line is lost, and keep trying "
                            "when it does not open at start-up."),
             [](const QStringList&, LaunchOptions& o) {
                 o.reconnect = true;
                 return QString();
             }),
    };
}

// The metrics page and the script server.
QList<OptionRow> remoteOptions() {
    OptionRow metrics = valued(
        QStringLiteral("metrics"),
        QStringLiteral("Serve the readings for Prometheus at http://ADDRESS:PORT/metrics; "
                       "--metrics alone serves on ") +
            MetricsAddress().text() +
            QStringLiteral(". Give an address other than loopback only on a trusted network."),
        QStringLiteral("ADDRESS:PORT"), [](const QStringList& v, LaunchOptions& o) {
            o.metrics = metricsAddress(v[0]);
            if (!o.metrics)
                return refusal(QStringLiteral("--metrics"), v[0],
                               QStringLiteral("is not ADDRESS:PORT such as 127.0.0.1:9469 or "
                                              "[::1]:9469 (port 1 to 65535)"));
            return QString();
        });
    metrics.takes = Takes::ValueOrDefault;
    metrics.bareValue = MetricsAddress().text();
    OptionRow scpi = flag(
        QStringLiteral("scpi"),
        QStringLiteral("Serve SCPI script clients over TCP from start-up, on 127.0.0.1 and ::1, "
                       "port ") +
            QString::number(LaunchOptions::DefaultScpiPort) +
            QStringLiteral(" or the one given as --scpi=PORT."),
        [](const QStringList& v, LaunchOptions& o) {
            o.scpiPort = portNumber(v[0]);
            if (!o.scpiPort)
                return refusal(QStringLiteral("--scpi"), v[0],
                               QStringLiteral("is not a port from 1 to 65535"));
            return QString();
        });
    scpi.takes = Takes::ValueAfterEquals;
    scpi.bareValue = QString::number(LaunchOptions::DefaultScpiPort);
    scpi.once = true;
    OptionRow listen = valued(
        QStringLiteral("scpi-listen"),
        QStringLiteral("With --scpi, also listen on this address (repeatable). The protocol has "
                       "no authentication: whoever reaches the port drives the supply."),
        QStringLiteral("ADDRESS"), [](const QStringList& values, LaunchOptions& o) {
            for (const QString& value : values) {
                const std::optional<QString> address = addressLiteral(value);
                if (!address)
                    return refusal(QStringLiteral("--scpi-listen"), value,
                                   QStringLiteral("is not an IP address"));
                o.scpiListen.append(*address);
            }
            return QString();
        });
    listen.once = false;
    listen.needs = QStringLiteral("scpi");
    return {metrics, scpi, listen};
}

QList<OptionRow> optionTable(const Program& program) {
    QList<OptionRow> rows = lineOptions() + remoteOptions();
    rows << valued(QStringLiteral("lang"),
                   QStringLiteral("The panel's language: en for English, zh for Chinese. Without "
                                  "it the panel speaks English when the locale's language is "
                                  "English (LANGUAGE, LC_ALL, LC_MESSAGES, LANG), and Chinese "
                                  "otherwise."),
                   QStringLiteral("en|zh"), [](const QStringList& v, LaunchOptions& o) {
                       o.language = v[0].toLower();
                       if (o.language != QLatin1String("en") && o.language != QLatin1String("zh"))
                           return refusal(QStringLiteral("--lang"), v[0],
                                          QStringLiteral("is neither en nor zh"));
                       return QString();
                   });
    rows << valued(
        QStringLiteral("output-timer"),
        QStringLiteral("Switch the output off once it has been on for this long: whole hours, "
                       "minutes and seconds such as 90s, 15m, 2h or 1h30m, at most a week."),
        QStringLiteral("DURATION"), [](const QStringList& v, LaunchOptions& o) {
            o.outputTimer = DurationText::parse(v[0]);
            if (!o.outputTimer)
                return refusal(QStringLiteral("--output-timer"), v[0],
                               QStringLiteral("is not a duration such as 90s, 15m, 2h or 1h30m "
                                              "(above zero, at most a week)"));
            return QString();
        });
    if (program.takesRuns)
        rows << runOptions();
    return rows;
}

// The arguments as Qt's parser is to see them, and the values of the options
// whose value only follows "=" (by option name, one per use, empty for a bare
// use).
QStringList forQtParser(QStringList arguments, const QList<OptionRow>& rows,
                        QHash<QString, QStringList>& afterEquals) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--"))
            break;
        for (const OptionRow& row : rows) {
            const QString name = row.name();
            if (row.takes == Takes::ValueOrDefault && arguments[i] == name) {
                arguments[i] = name + u'=' + row.bareValue;
            } else if (row.takes == Takes::ValueAfterEquals &&
                       (arguments[i] == name || arguments[i].startsWith(name + u'='))) {
                afterEquals[name].append(arguments[i] == name ? row.bareValue
                                                              : arguments[i].mid(name.size() + 1));
                arguments[i] = name;
            }
        }
    }
    return arguments;
}

CommandLine failure(const QString& message) {
    CommandLine line;
    line.outcome = CommandLine::Outcome::Error;
    line.message = message;
    return line;
}

CommandLine answer(CommandLine::Outcome outcome, const QString& message) {
    CommandLine line;
    line.outcome = outcome;
    line.message = message;
    return line;
}

// One row's values as given: a value each, one empty text per use of an
// option without one, or what forQtParser took off.
QStringList valuesOf(const OptionRow& row, const QCommandLineParser& parser,
                     const QHash<QString, QStringList>& afterEquals) {
    switch (row.takes) {
    case Takes::Value:
    case Takes::ValueOrDefault:
        return parser.values(row.option);
    case Takes::ValueAfterEquals:
        return afterEquals.value(row.name());
    case Takes::Nothing:
        break;
    }
    const QString name = row.option.names().constFirst();
    return QStringList(parser.optionNames().count(name), QString());
}

// Every given option read through its row, then what each needs.
CommandLine readRows(const QList<OptionRow>& rows, const QCommandLineParser& parser,
                     const QHash<QString, QStringList>& afterEquals, const Program& program) {
    CommandLine line;
    QStringList given;
    for (const OptionRow& row : rows) {
        const QStringList values = valuesOf(row, parser, afterEquals);
        if (values.isEmpty())
            continue;
        if (row.once && values.size() > 1)
            return failure(row.name() + QStringLiteral(" is given more than once"));
        for (const QString& value : values)
            if (value.size() > kMaxValueLength)
                return failure(row.name() + QStringLiteral(": the value is too long"));
        const QString refused = row.read(values, line.options);
        if (!refused.isEmpty())
            return failure(refused);
        given << row.option.names().constFirst();
    }
    if (program.needsPort && line.options.port.isEmpty())
        return failure(QStringLiteral("--port is needed: name the supply's port"));
    for (const OptionRow& row : rows)
        if (!row.needs.isEmpty() && given.contains(row.option.names().constFirst()) &&
            !given.contains(row.needs))
            return failure(
                row.name() + QStringLiteral(" needs --") + row.needs +
                (row.needsWhy.isEmpty() ? QString() : QStringLiteral(": ") + row.needsWhy));
    return line;
}

CommandLine parsed(const QStringList& givenArguments, const Program& program) {
    const QList<OptionRow> rows = optionTable(program);
    QCommandLineParser parser;
    parser.setApplicationDescription(program.description);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    for (const OptionRow& row : rows)
        parser.addOption(row.option);

    QHash<QString, QStringList> afterEquals;
    if (!parser.parse(forQtParser(givenArguments, rows, afterEquals)))
        return failure(parserError(parser.errorText()));
    // Qt's parser adds --help-all beside --help; the panel has no options of
    // Qt's own to show, so both give the same help.
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        // Qt names the program by the path it was started with, or not at
        // all before the application exists: the help names it by its name.
        const QString text = parser.helpText();
        return answer(CommandLine::Outcome::Help, QStringLiteral("Usage: ") + program.name +
                                                      QStringLiteral(" [options]") +
                                                      text.mid(text.indexOf(u'\n')));
    }
    if (parser.isSet(version))
        return answer(CommandLine::Outcome::Version,
                      program.name + u' ' + QStringLiteral(VELMOR_VERSION) + u'\n');
    if (!parser.positionalArguments().isEmpty())
        return failure(QStringLiteral("unexpected argument ") +
                       shown(parser.positionalArguments().constFirst()));
    return readRows(rows, parser, afterEquals, program);
}

} // namespace

QString MetricsAddress::text() const {
    const QString host = address.contains(u':') ? u'[' + address + u']' : address;
    return host + u':' + QString::number(port);
}

Program Program::window() {
    return {QStringLiteral("velmor-monitor"),
            QStringLiteral("Monitor and control panel for a programmable DC bench power supply "
                           "on a serial line."),
            false};
}

Program Program::headless() {
    return {QStringLiteral("velmor-headless"),
            QStringLiteral("Polls and records a programmable DC bench power supply on a serial "
                           "line, without a window; one line per event on standard error."),
            true, true};
}

CommandLine CommandLine::parse(const QStringList& arguments, const Program& program) {
    CommandLine line = parsed(arguments, program);
    line.program = program;
    return line;
}

int CommandLine::finish() const {
    switch (outcome) {
    case Outcome::Run:
        break;
    case Outcome::Help:
    case Outcome::Version:
        std::fputs(message.toLocal8Bit().constData(), stdout);
        return 0;
    case Outcome::Error:
        std::fprintf(stderr, "%s: %s\n", qPrintable(program.name), qPrintable(message));
        return BadUsage;
    }
    return 0;
}
