#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

// Where the metrics page is served.
struct MetricsAddress {
    // Loopback unless the user names an address.
    static constexpr quint16 DefaultPort = 9469;

    // An IPv4 or IPv6 address literal, in its shortest form.
    QString address = QStringLiteral("127.0.0.1");
    quint16 port = DefaultPort;

    // "127.0.0.1:9469" or "[::1]:9469", as the HTTP server takes it.
    QString text() const;
};

// What the command line asks a run to do at start-up.
struct LaunchOptions {
    // The texts for the four line-setting lists, as their entries read.
    struct LineTexts {
        QString baud;     // "9600"
        QString parity;   // "NONE", "ODD", "ENEV", "SPACE" or "MARK"
        QString dataBits; // "5" to "8"
        QString stopBits; // "1", "1.5" or "2"
    };

    QString port; // "COM3" or an absolute device path; empty when not given
    std::optional<LineTexts> settings;
    bool poll = false;
    QString recordPath; // absolute; empty when not given
    bool reconnect = false;
    QString language; // "en" or "zh"; empty when not given
    std::optional<MetricsAddress> metrics;
    // The port of the script server to start, when asked for.
    static constexpr quint16 DefaultScpiPort = 5025;
    std::optional<quint16> scpiPort;
    // Addresses the script server opens beside the loopback ones (address
    // literals, an IPv6 one perhaps with a %scope).
    QStringList scpiListen;
    // A programmed run's list file (absolute; empty when not given) and how
    // often it runs: 1 to 9999, or 0 for endless.
    QString runPath;
    int repeat = 1;
    // The supply's rating as the two rating lists would show it ("30",
    // "3"): the limits a programmed run is checked against.
    struct Rating {
        QString voltage;
        QString current;
    };
    std::optional<Rating> rating;
    // Switch the output off once it has been on this long (1 s to a week).
    std::optional<std::chrono::seconds> outputTimer;
};

// The program whose command line is read: its name and the first line of
// its help. The window and the headless program share every option.
struct Program {
    QString name;
    QString description;
    // The headless program has nothing to do without a port.
    bool needsPort = false;
    // It alone takes a programmed run from the command line (--run,
    // --repeat, --rating); the window has its run window for that.
    bool takesRuns = false;

    static Program window();
    static Program headless();
};

// The command line read with QCommandLineParser, from a table of options:
//   PROGRAM [--port COMn|DEVICE] [--settings 9600,N,8,1] [--poll]
//           [--record FILE] [--reconnect] [--metrics[=ADDRESS:PORT]]
//           [--scpi[=PORT]] [--scpi-listen ADDRESS]... [--lang en|zh]
//           [--output-timer DURATION]
//           and, for the headless program, [--run FILE [--repeat N|endless]]
//           [--rating VOLTS,AMPS]
// plus --help and --version. Everything on it is checked before anything
// opens; only whether the port opens is left to the opening itself.
struct CommandLine {
    static constexpr int BadUsage = 2;

    enum class Outcome { Run, Help, Version, Error };
    Outcome outcome = Outcome::Run;
    LaunchOptions options;
    // The help text, the version line or the one-line error, by outcome.
    QString message;

    Program program;

    // `arguments` as QCoreApplication::arguments() gives them, the program
    // first.
    static CommandLine parse(const QStringList& arguments, const Program& program);

    // For every outcome but Run: prints the message (an error on standard
    // error, the rest on standard output) and returns the exit code.
    int finish() const;
};
