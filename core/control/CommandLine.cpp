#include "CommandLine.h"

#include "protocol/NumberText.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
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

// Qt's parser knows no option whose value may be left out: a bare
// --metrics is read as the default address.
QStringList withOptionalValues(QStringList arguments) {
    const QString metrics = QStringLiteral("--metrics");
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--"))
            break;
        if (arguments[i] == metrics)
            arguments[i] = metrics + u'=' + MetricsAddress().text();
    }
    return arguments;
}

// --scpi takes its port only after "=", so that "--scpi --poll" does not
// read "--poll" as a port: the form is taken off before Qt's parser, which
// has no optional values, sees the line.
QStringList withoutScpiPort(const QStringList& arguments, QStringList& ports) {
    QStringList rest;
    const QString prefix = QStringLiteral("--scpi=");
    for (const QString& argument : arguments) {
        if (argument.startsWith(prefix)) {
            ports.append(argument.mid(prefix.size()));
            rest.append(QStringLiteral("--scpi"));
        } else {
            rest.append(argument);
        }
    }
    return rest;
}

std::optional<quint16> scpiPortText(const QString& value) {
    bool ok = false;
    const int port = value.toInt(&ok);
    if (!isWholeNumber(value) || !ok || port < 1 || port > 65535)
        return std::nullopt;
    return quint16(port);
}

CommandLine parsed(const QStringList& arguments, const Program& program);

CommandLine failure(const QString& message) {
    CommandLine line;
    line.outcome = CommandLine::Outcome::Error;
    line.message = message;
    return line;
}

// A positive rating number, as a rating list's text reads it.
bool isRating(const QString& text) {
    const std::optional<double> value = NumberText::parseDecimal(text);
    return value && *value > 0;
}

// --run, --repeat and --rating; the list file itself is read when the run
// starts, so that a mistake in it is told in the list's own words.
std::optional<CommandLine> readRun(const QCommandLineParser& parser, const QCommandLineOption& run,
                                   const QCommandLineOption& repeat,
                                   const QCommandLineOption& rating, LaunchOptions& o) {
    if (parser.isSet(run)) {
        const QString value = parser.value(run);
        if (value.isEmpty() || hasControlCharacter(value) || !QFileInfo(value).isFile())
            return failure(QStringLiteral("--run: ") + shown(value) +
                           QStringLiteral(" is not a list file"));
        o.runPath = QFileInfo(value).absoluteFilePath();
    }
    if (parser.isSet(repeat)) {
        if (o.runPath.isEmpty())
            return failure(QStringLiteral("--repeat needs --run"));
        const QString value = parser.value(repeat);
        bool ok = false;
        const int times = value.toInt(&ok);
        if (value.compare(QLatin1String("endless"), Qt::CaseInsensitive) == 0)
            o.repeat = 0;
        else if (isWholeNumber(value) && ok && times >= 1 && times <= 9999)
            o.repeat = times;
        else
            return failure(QStringLiteral("--repeat: ") + shown(value) +
                           QStringLiteral(" is neither a count from 1 to 9999 nor endless"));
    }
    if (parser.isSet(rating)) {
        const QStringList parts = parser.value(rating).split(u',');
        if (parts.size() != 2 || !isRating(parts[0]) || !isRating(parts[1]))
            return failure(QStringLiteral("--rating: ") + shown(parser.value(rating)) +
                           QStringLiteral(" is not VOLTS,AMPS such as 30,3"));
        o.rating = LaunchOptions::Rating{parts[0], parts[1]};
    }
    if (!o.runPath.isEmpty() && !o.rating)
        return failure(QStringLiteral("--run needs --rating: every step is checked against the "
                                      "supply's rating"));
    return std::nullopt;
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

CommandLine CommandLine::parse(const QStringList& givenArguments, const Program& program) {
    CommandLine line = parsed(withOptionalValues(givenArguments), program);
    line.program = program;
    return line;
}

namespace {

CommandLine parsed(const QStringList& arguments, const Program& program) {
    QCommandLineParser parser;
    parser.setApplicationDescription(program.description);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption port(
        QStringLiteral("port"),
        QStringLiteral("Open this port at start-up, as the port button does: COMn (1 to 255) or "
                       "a device path such as /dev/ttyUSB0."),
        QStringLiteral("COMn|DEVICE"));
    const QCommandLineOption settings(
        QStringLiteral("settings"),
        QStringLiteral("Line settings for the four setting lists: baud rate, parity (N, O, E, S "
                       "or M), data bits (5 to 8), stop bits (1, 1.5 or 2)."),
        QStringLiteral("9600,N,8,1"));
    const QCommandLineOption poll(QStringLiteral("poll"),
                                  QStringLiteral("Start polling once the port is open (needs "
                                                 "--port)."));
    const QCommandLineOption record(
        QStringLiteral("record"),
        QStringLiteral("Record to this CSV file from start-up; the file must not exist yet."),
        QStringLiteral("FILE"));
    const QCommandLineOption reconnect(
        QStringLiteral("reconnect"),
        QStringLiteral("Reopen the port every 2 s after the line is lost, and keep trying when "
                       "it does not open at start-up."));
    const QCommandLineOption metrics(
        QStringLiteral("metrics"),
        QStringLiteral("Serve the readings for Prometheus at http://ADDRESS:PORT/metrics; "
                       "--metrics alone serves on ") +
            MetricsAddress().text() +
            QStringLiteral(". Give an address other than loopback only on a trusted network."),
        QStringLiteral("ADDRESS:PORT"));
    const QCommandLineOption scpi(
        QStringLiteral("scpi"),
        QStringLiteral("Serve SCPI script clients over TCP from start-up, on 127.0.0.1 and ::1, "
                       "port ") +
            QString::number(LaunchOptions::DefaultScpiPort) +
            QStringLiteral(" or the one given as --scpi=PORT."));
    const QCommandLineOption scpiListen(
        QStringLiteral("scpi-listen"),
        QStringLiteral("With --scpi, also listen on this address (repeatable). The protocol has "
                       "no authentication: whoever reaches the port drives the supply."),
        QStringLiteral("ADDRESS"));
    const QCommandLineOption lang(
        QStringLiteral("lang"),
        QStringLiteral("The panel's language: en for English, zh for Chinese. Without it the "
                       "panel speaks English when the locale's language is English (LANGUAGE, "
                       "LC_ALL, LC_MESSAGES, LANG), and Chinese otherwise."),
        QStringLiteral("en|zh"));
    parser.addOptions({port, settings, poll, record, reconnect, metrics, scpi, scpiListen, lang});
    const QCommandLineOption run(QStringLiteral("run"),
                                 QStringLiteral("Run this list of setpoints (CSV: voltage_V,"
                                                "current_A,dwell_s,output) once the port is "
                                                "open; the output is off at its end."),
                                 QStringLiteral("FILE"));
    const QCommandLineOption repeat(
        QStringLiteral("repeat"),
        QStringLiteral("Run the list N times (1 to 9999) or endless; 1 without it."),
        QStringLiteral("N|endless"));
    const QCommandLineOption rating(
        QStringLiteral("rating"),
        QStringLiteral("The supply's rated voltage and current, such as 30,3: the limits every "
                       "step of the list must keep, as the panel's rating lists set them."),
        QStringLiteral("VOLTS,AMPS"));
    if (program.takesRuns)
        parser.addOptions({run, repeat, rating});

    QStringList scpiPorts;
    if (!parser.parse(withoutScpiPort(arguments, scpiPorts)))
        return failure(parserError(parser.errorText()));
    // Qt's parser adds --help-all beside --help; the panel has no options of
    // Qt's own to show, so both give the same help.
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        CommandLine line;
        line.outcome = CommandLine::Outcome::Help;
        // Qt names the program by the path it was started with, or not at
        // all before the application exists: the help names it by its name.
        const QString help = parser.helpText();
        line.message = QStringLiteral("Usage: ") + program.name + QStringLiteral(" [options]") +
                       help.mid(help.indexOf(u'\n'));
        return line;
    }
    if (parser.isSet(version)) {
        CommandLine line;
        line.outcome = CommandLine::Outcome::Version;
        line.message = program.name + u' ' + QStringLiteral(VELMOR_VERSION) + u'\n';
        return line;
    }
    if (!parser.positionalArguments().isEmpty())
        return failure(QStringLiteral("unexpected argument ") +
                       shown(parser.positionalArguments().constFirst()));
    QList<QCommandLineOption> single{port, settings, record, metrics, lang};
    if (program.takesRuns)
        single << run << repeat << rating;
    for (const QCommandLineOption& option : single) {
        const QString name = QStringLiteral("--") + option.names().constFirst();
        if (parser.values(option).size() > 1)
            return failure(name + QStringLiteral(" is given more than once"));
        for (const QString& value : parser.values(option))
            if (value.size() > kMaxValueLength)
                return failure(name + QStringLiteral(": the value is too long"));
    }

    CommandLine line;
    LaunchOptions& o = line.options;
    if (parser.isSet(port)) {
        const std::optional<QString> text = portText(parser.value(port));
        if (!text)
            return failure(QStringLiteral("--port: ") + shown(parser.value(port)) +
                           QStringLiteral(" is neither COMn (n from 1 to 255) nor an absolute "
                                          "device path such as /dev/ttyUSB0"));
        o.port = *text;
    }
    if (parser.isSet(settings)) {
        o.settings = lineTexts(parser.value(settings));
        if (!o.settings)
            return failure(QStringLiteral("--settings: ") + shown(parser.value(settings)) +
                           QStringLiteral(" is not BAUD,PARITY,DATA,STOP such as 9600,N,8,1 "
                                          "(parity N, O, E, S or M; data bits 5 to 8; stop bits "
                                          "1, 1.5 or 2)"));
    }
    if (program.needsPort && o.port.isEmpty())
        return failure(QStringLiteral("--port is needed: name the supply's port"));
    o.poll = parser.isSet(poll);
    if (o.poll && o.port.isEmpty())
        return failure(QStringLiteral("--poll needs --port"));
    if (parser.isSet(record)) {
        const QString value = parser.value(record);
        if (value.isEmpty() || hasControlCharacter(value))
            return failure(QStringLiteral("--record: ") + shown(value) +
                           QStringLiteral(" is not a file name"));
        const QFileInfo file(value);
        if (file.exists() || file.isSymLink())
            return failure(QStringLiteral("--record: ") + shown(value) +
                           QStringLiteral(" exists already; give a new file name"));
        if (!file.dir().exists())
            return failure(QStringLiteral("--record: the folder of ") + shown(value) +
                           QStringLiteral(" does not exist"));
        o.recordPath = file.absoluteFilePath();
    }
    o.reconnect = parser.isSet(reconnect);
    if (parser.isSet(metrics)) {
        o.metrics = metricsAddress(parser.value(metrics));
        if (!o.metrics)
            return failure(QStringLiteral("--metrics: ") + shown(parser.value(metrics)) +
                           QStringLiteral(" is not ADDRESS:PORT such as 127.0.0.1:9469 or "
                                          "[::1]:9469 (port 1 to 65535)"));
    }
    if (parser.isSet(lang)) {
        o.language = parser.value(lang).toLower();
        if (o.language != QLatin1String("en") && o.language != QLatin1String("zh"))
            return failure(QStringLiteral("--lang: ") + shown(parser.value(lang)) +
                           QStringLiteral(" is neither en nor zh"));
    }
    if (program.takesRuns) {
        const std::optional<CommandLine> refused = readRun(parser, run, repeat, rating, o);
        if (refused)
            return *refused;
    }
    if (parser.optionNames().count(QStringLiteral("scpi")) > 1)
        return failure(QStringLiteral("--scpi is given more than once"));
    if (parser.isSet(scpi)) {
        o.scpiPort = LaunchOptions::DefaultScpiPort;
        if (!scpiPorts.isEmpty()) {
            o.scpiPort = scpiPortText(scpiPorts.constFirst());
            if (!o.scpiPort)
                return failure(QStringLiteral("--scpi: ") + shown(scpiPorts.constFirst()) +
                               QStringLiteral(" is not a port from 1 to 65535"));
        }
    }
    for (const QString& value : parser.values(scpiListen)) {
        const std::optional<QString> address =
            value.size() > kMaxValueLength ? std::nullopt : addressLiteral(value);
        if (!address)
            return failure(QStringLiteral("--scpi-listen: ") + shown(value) +
                           QStringLiteral(" is not an IP address"));
        o.scpiListen.append(*address);
    }
    if (!o.scpiListen.isEmpty() && !o.scpiPort)
        return failure(QStringLiteral("--scpi-listen needs --scpi"));
    return line;
}

} // namespace

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
