#include "EventLines.h"
#include "SignalPipe.h"
#include "control/CommandLine.h"
#include "control/RunController.h"
#include "program/ProgramFile.h"
#include "remote/RemoteServices.h"
#include "serial/PortDirectory.h"
#include "serial/QtSerialControl.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>
#include <QTranslator>

#include <cstdio>
#include <memory>

namespace {

// Exit codes: a bad command line (or a listening port already taken) is
// CommandLine::BadUsage.
constexpr int kPortNeverOpened = 1;
constexpr int kRecordingRefused = 1;
constexpr int kRunRefused = 1;
// An owed output-off could not be written at the end: the output may be on.
constexpr int kOutputLeftOn = 3;

QString startText(ProgramRun::Start start) {
    switch (start) {
    case ProgramRun::Start::Started:
    case ProgramRun::Start::Busy:
        return QStringLiteral("a run is going already");
    case ProgramRun::Start::NoSteps:
        return QStringLiteral("the list has no steps");
    case ProgramRun::Start::BadRepeat:
        return QStringLiteral("the repeat count is out of range");
    case ProgramRun::Start::BadStep:
    case ProgramRun::Start::OutsideLimits:
        return QStringLiteral("a step lies outside the rating's limits");
    case ProgramRun::Start::PortClosed:
        return QStringLiteral("the port is not open");
    }
    return {};
}

// Applies --rating as the rating lists would; false when a rating gives no
// limits (too large for the supply's numbers).
bool applyRating(RatingLimits& rating, const LaunchOptions::Rating& given) {
    rating.setVoltageRatingText(given.voltage);
    rating.setCurrentRatingText(given.current);
    rating.applyVoltageRating();
    rating.applyCurrentRating();
    return rating.limits().CVSetValueMax > 0 && rating.limits().CCSetValueMax > 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTranslator english;
    if (english.load(QStringLiteral(":/i18n/velmor_en.qm")))
        QCoreApplication::installTranslator(&english);
    const CommandLine line = CommandLine::parse(QCoreApplication::arguments(), Program::headless());
    if (line.outcome != CommandLine::Outcome::Run)
        return line.finish();
    const LaunchOptions& options = line.options;

    SignalPipe stopSignals;
    PortDirectory ports(PortDirectory::defaultLinkFolder());
    RunController controller(std::make_unique<QtSerialControl>(ports), &RemoteServices::make);
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
    if (options.scpiPort) {
        QString error;
        RemoteAccess* remote = controller.openRemote(&error);
        if (!remote || !remote->listenScpi(*options.scpiPort, options.scpiListen, &error)) {
            lines.say(error);
            return CommandLine::BadUsage;
        }
        lines.say(QStringLiteral("SCPI server on port ") + QString::number(remote->scpiPort()));
        for (const QString& address : options.scpiListen)
            lines.say(QStringLiteral("SCPI server also on ") + address +
                      QStringLiteral(" without authentication: whoever reaches it drives the "
                                     "supply"));
    }
    if (options.rating && !applyRating(controller.link().rating(), *options.rating)) {
        lines.say(QStringLiteral("--rating: the supply's numbers cannot hold this rating"));
        return CommandLine::BadUsage;
    }
    ProgramRun::Program program;
    if (!options.runPath.isEmpty()) {
        const ProgramFile::Result file = ProgramFile::read(options.runPath);
        if (file.problem) {
            lines.say(QStringLiteral("cannot run ") + options.runPath + QStringLiteral(": ") +
                      ProgramFile::describe(*file.problem));
            return CommandLine::BadUsage;
        }
        program = {file.steps, options.repeat, QFileInfo(options.runPath).fileName(), false};
    }
    // Every end goes through the controller's one way out; an output-off it
    // owed and could not write turns any status into kOutputLeftOn.
    const auto finish = [&](int status) {
        if (controller.finish())
            return status;
        lines.say(
            QStringLiteral("the output-off could not be written: the output may still be on"));
        return kOutputLeftOn;
    };
    ProgramRun& run = controller.automation().run();
    // The list runs once the port is open: at once, or when a reconnection
    // first opens it. It ends the program; a run cut short by a lost line
    // leaves the program polling, so that the output is switched off when
    // the line returns.
    bool runStarted = false;
    const auto startRun = [&] {
        if (runStarted || program.steps.empty())
            return;
        runStarted = true;
        const ProgramRun::Start start = run.start(program);
        if (start != ProgramRun::Start::Started) {
            lines.say(QStringLiteral("cannot run ") + options.runPath + QStringLiteral(": ") +
                      startText(start));
            QCoreApplication::exit(finish(kRunRefused));
        }
    };
    // The run's own events reach standard error as notes of the model.
    QObject::connect(&run, &ProgramRun::ended, [&](ProgramRun::End end) {
        if (end == ProgramRun::End::PortGone)
            return;
        QCoreApplication::exit(finish(end == ProgramRun::End::Finished ? 0 : kRunRefused));
    });
    QObject::connect(&controller, &RunController::reopened, startRun);

    QString refused;
    QObject::connect(&controller, &RunController::recordingRefused,
                     [&refused](const QString& reason) { refused = reason; });
    controller.launch(options, RunController::requestFor(options));
    if (!refused.isEmpty()) {
        lines.say(QStringLiteral("cannot record to ") + options.recordPath + QStringLiteral(": ") +
                  refused);
        return finish(kRecordingRefused);
    }
    if (!controller.link().MSComm().PortOpen()) {
        if (!options.reconnect) {
            lines.say(QStringLiteral("port ") + options.port +
                      QStringLiteral(" did not open (missing, in use or refused its settings)"));
            return finish(kPortNeverOpened);
        }
        lines.say(QStringLiteral("port ") + options.port +
                  QStringLiteral(" did not open; trying again every 2 s"));
    }

    if (controller.link().MSComm().PortOpen())
        QTimer::singleShot(0, startRun);

    QObject::connect(&stopSignals, &SignalPipe::received, &app, [&](int number) {
        lines.say(QStringLiteral("stopping on signal ") + QString::number(number));
        QCoreApplication::exit(finish(0));
    });
    return QCoreApplication::exec();
}
