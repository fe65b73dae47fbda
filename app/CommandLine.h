#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What the command line asks the panel to do at start-up.
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
    // The port of the script server to start, when asked for.
    std::optional<quint16> scpiPort;
    // Addresses the script server opens beside the loopback ones.
    QList<QHostAddress> scpiListen;
};

// The command line read with QCommandLineParser:
//   velmor-monitor [--port COMn|DEVICE] [--settings 9600,N,8,1] [--poll]
//                  [--record FILE] [--reconnect] [--scpi[=PORT]]
//                  [--scpi-listen ADDRESS]...
// plus --help and --version. Everything on it is checked before any window
// opens; only whether the port opens is left to the opening itself.
struct CommandLine {
    static constexpr int BadUsage = 2;

    enum class Outcome { Run, Help, Version, Error };
    Outcome outcome = Outcome::Run;
    LaunchOptions options;
    // The help text, the version line or the one-line error, by outcome.
    QString message;

    // `arguments` as QCoreApplication::arguments() gives them, the program
    // first.
    static CommandLine parse(const QStringList& arguments);

    // For every outcome but Run: prints the message (an error on standard
    // error, the rest on standard output) and returns the exit code.
    int finish() const;
};
