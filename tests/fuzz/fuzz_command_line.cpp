// The command line of both programs (control/CommandLine.h) against
// properties that hold whatever the arguments:
//   - every outcome is a run, the help, the version or an error; an error is
//     one line of printable text of bounded length however long the values
//     (the program prints it and exits with status 2), help and version are
//     texts;
//   - a run request keeps the rules between options: --poll and the
//     headless program need a port, --scpi-listen needs --scpi, --run needs
//     --rating, --repeat is 1 without --run and 0 to 9999; a port is COM1 to
//     COM255 or an absolute path; no value holds a control character;
//   - a run request round-trips: its options written back as arguments (the
//     shortest forms: COMn, the parity letter, --scpi=PORT) read again as the
//     same options, and as the same once more.
//
// Input: [0] bit 0 the headless program rather than the window; then the
// arguments, separated by NUL bytes, as UTF-8.

#include "FuzzInput.h"
#include "control/CommandLine.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdint>

namespace {

// A value is shown cut to 60 characters; the longest error's words and two
// such values fit.
constexpr qsizetype MaxErrorLength = 400;

bool hasControlCharacter(const QString& text) {
    for (QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    return false;
}

QStringList argumentsOf(const std::uint8_t* data, std::size_t size, const Program& program) {
    QStringList arguments{program.name};
    if (size > 1) {
        const QByteArray rest(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
        for (const QByteArray& argument : rest.split('\0'))
            arguments << QString::fromUtf8(argument);
    }
    return arguments;
}

// Every field of the options, to compare two requests.
QStringList fieldsOf(const LaunchOptions& o) {
    QStringList fields{o.port,
                       o.recordPath,
                       o.language,
                       o.runPath,
                       QString::number(o.repeat),
                       QString::number(o.poll),
                       QString::number(o.reconnect)};
    fields << (o.settings ? o.settings->baud + u'|' + o.settings->parity + u'|' +
                                o.settings->dataBits + u'|' + o.settings->stopBits
                          : QStringLiteral("-"));
    fields << (o.metrics ? o.metrics->text() : QStringLiteral("-"));
    fields << (o.scpiPort ? QString::number(*o.scpiPort) : QStringLiteral("-"));
    fields << o.scpiListen.join(u' ');
    fields << (o.rating ? o.rating->voltage + u',' + o.rating->current : QStringLiteral("-"));
    return fields;
}

// The options as arguments that ask for them.
QStringList argumentsFor(const LaunchOptions& o, const Program& program) {
    QStringList arguments{program.name};
    const auto add = [&arguments](const char* name, const QString& value) {
        arguments << QLatin1String(name) << value;
    };
    if (!o.port.isEmpty())
        add("--port", o.port);
    if (o.settings)
        add("--settings", QStringList{o.settings->baud, o.settings->parity.left(1),
                                      o.settings->dataBits, o.settings->stopBits}
                              .join(u','));
    if (o.poll)
        arguments << QStringLiteral("--poll");
    if (!o.recordPath.isEmpty())
        add("--record", o.recordPath);
    if (o.reconnect)
        arguments << QStringLiteral("--reconnect");
    if (o.metrics)
        arguments << QStringLiteral("--metrics=") + o.metrics->text();
    if (!o.language.isEmpty())
        add("--lang", o.language);
    if (o.scpiPort)
        arguments << QStringLiteral("--scpi=") + QString::number(*o.scpiPort);
    for (const QString& address : o.scpiListen)
        add("--scpi-listen", address);
    if (!o.runPath.isEmpty())
        add("--run", o.runPath);
    if (o.repeat != 1)
        add("--repeat", o.repeat == 0 ? QStringLiteral("endless") : QString::number(o.repeat));
    if (o.rating)
        add("--rating", o.rating->voltage + u',' + o.rating->current);
    return arguments;
}

void checkRules(const LaunchOptions& o, const Program& program, const QString& detail) {
    const bool comPort = o.port.startsWith(QLatin1String("COM")) && o.port.mid(3).toInt() >= 1 &&
                         o.port.mid(3).toInt() <= 255 &&
                         o.port == QStringLiteral("COM") + QString::number(o.port.mid(3).toInt());
    if (!o.port.isEmpty() && !comPort && !o.port.startsWith(u'/'))
        violated("a port is COMn or an absolute path", detail);
    if ((o.poll || program.needsPort) && o.port.isEmpty())
        violated("polling and the headless program need a port", detail);
    if (!o.scpiListen.isEmpty() && !o.scpiPort)
        violated("--scpi-listen needs --scpi", detail);
    if (!o.runPath.isEmpty() && !o.rating)
        violated("--run needs --rating", detail);
    if (o.repeat < 0 || o.repeat > 9999 || (o.runPath.isEmpty() && o.repeat != 1))
        violated("--repeat 0 to 9999, 1 without --run", detail);
    if (o.scpiPort && *o.scpiPort == 0)
        violated("a script port from 1 to 65535", detail);
    for (const QString& field : fieldsOf(o))
        if (hasControlCharacter(field))
            violated("no control characters in a value", detail);
}

void checkRoundTrip(const LaunchOptions& o, const Program& program) {
    const QStringList fields = fieldsOf(o);
    const QStringList written = argumentsFor(o, program);
    const CommandLine again = CommandLine::parse(written, program);
    const QString detail = written.join(u' ');
    if (again.outcome != CommandLine::Outcome::Run)
        violated("the options written back are a run request",
                 detail + QStringLiteral(": ") + again.message);
    if (fieldsOf(again.options) != fields)
        violated("the options written back read the same",
                 detail + QStringLiteral(": ") + fieldsOf(again.options).join(u' '));
    if (argumentsFor(again.options, program) != written)
        violated("the options written back write the same", detail);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static int argc = 1;
    static char name[] = "fuzz_command_line";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Program program = size > 0 && (data[0] & 1) ? Program::headless() : Program::window();
    const QStringList arguments = argumentsOf(data, size, program);
    const CommandLine line = CommandLine::parse(arguments, program);
    const QString detail = arguments.join(u' ');
    switch (line.outcome) {
    case CommandLine::Outcome::Error:
        if (line.message.isEmpty() || line.message.size() > MaxErrorLength ||
            hasControlCharacter(line.message))
            violated("an error is one printable line of bounded length", line.message);
        break;
    case CommandLine::Outcome::Help:
    case CommandLine::Outcome::Version:
        if (!line.message.contains(program.name))
            violated("help and version name the program", line.message);
        break;
    case CommandLine::Outcome::Run:
        if (!line.message.isEmpty())
            violated("a run request carries no message", line.message);
        checkRules(line.options, program, detail);
        checkRoundTrip(line.options, program);
        break;
    }
    return 0;
}
