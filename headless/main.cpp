#include "EventLines.h"
#include "SignalPipe.h"
#include "control/CommandLine.h"
#include "control/RunController.h"
#include "serial/PortDirectory.h"
#include "serial/QtSerialControl.h"

#include <QCoreApplication>

#include <cstdio>
#include <memory>

namespace {

// Exit codes: a bad command line (or a listening port already taken) is
// CommandLine::BadUsage.
constexpr int kPortNeverOpened = 1;
constexpr int kRecordingRefused = 1;

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const CommandLine line = CommandLine::parse(QCoreApplication::arguments(), Program::headless());
    if (line.outcome != CommandLine::Outcome::Run)
        return line.finish();
    const LaunchOptions& options = line.options;

    SignalPipe stopSignals;
    PortDirectory ports(PortDirectory::defaultLinkFolder());
    RunController controller(std::make_unique<QtSerialControl>(ports));
    EventLines lines(controller, stderr);
    if (!stopSignals.isReady()) {
        lines.say(QStringLiteral("cannot catch SIGTERM and SIGINT; not starting"));
        return kPortNeverOpened;
    }

    if (options.metrics) {
        QString error;
        if (!controller.serveMetrics(*options.metrics, options.port, &error)) {
            lines.say(error);
            return CommandLine::BadUsage;
        }
        lines.say(QStringLiteral("metrics at http://") + options.metrics->text() +
                  QStringLiteral("/metrics"));
    }
    // The place for the headless program's own work, such as a programmed
    // run read from a file, once the port and the recording are in place.

    QString refused;
    QObject::connect(&controller, &RunController::recordingRefused,
                     [&refused](const QString& reason) { refused = reason; });
    controller.launch(options, RunController::requestFor(options));
    if (!refused.isEmpty()) {
        lines.say(QStringLiteral("cannot record to ") + options.recordPath + QStringLiteral(": ") +
                  refused);
        controller.finish();
        return kRecordingRefused;
    }
    if (!controller.link().MSComm().PortOpen()) {
        if (!options.reconnect) {
            lines.say(QStringLiteral("port ") + options.port +
                      QStringLiteral(" did not open (missing, in use or refused its settings)"));
            controller.finish();
            return kPortNeverOpened;
        }
        lines.say(QStringLiteral("port ") + options.port +
                  QStringLiteral(" did not open; trying again every 2 s"));
    }

    QObject::connect(&stopSignals, &SignalPipe::received, &app, [&](int number) {
        lines.say(QStringLiteral("stopping on signal ") + QString::number(number));
        controller.finish();
        QCoreApplication::exit(0);
    });
    return QCoreApplication::exec();
}
