#include "EventLines.h"

#include "control/RunController.h"

#include <QDateTime>

EventLines::EventLines(RunController& controller, std::FILE* out, QObject* parent)
    : QObject(parent), controller_(controller), out_(out) {
    const SupplyModel& model = controller.link().model();
    connect(&model, &SupplyModel::linkEvent, this, [this, &model](LinkEvent event) {
        QString text = linkEventText(event);
        if (event == LinkEvent::PortOpened || event == LinkEvent::PortReopened)
            text += u' ' + model.portName() + u' ' + model.lineSettings();
        // What the load took up to here: a run's end stops polling.
        if (event == LinkEvent::PollingStopped)
            text += u' ' + controller_.meter().summaryText();
        say(text);
    });
    // A programmed run's steps and the watch limits' alarms.
    connect(&model, &SupplyModel::noted, this, [this](const QString& text) { say(text); });
    connect(&controller, &RunController::switchOffFailed, this, [this] {
        say(QStringLiteral("output-off owed and not written: it goes out when the line is open "
                           "again"));
    });
    CsvRecorder& recorder = controller.recorder();
    connect(&recorder, &CsvRecorder::recordingChanged, this, [this, &recorder](bool recording) {
        if (recording) {
            say(QStringLiteral("recording started ") + recorder.fileName());
            rows_.start();
        } else {
            rows_.stop();
            say(QStringLiteral("recording stopped ") + recorder.fileName() + u' ' +
                QString::number(recorder.rowCount()) + QStringLiteral(" rows"));
        }
    });
    connect(&recorder, &CsvRecorder::failed, this,
            [this](const QString& reason) { say(QStringLiteral("recording failed: ") + reason); });
    rows_.setInterval(RowsEveryMs);
    connect(&rows_, &QTimer::timeout, this, [this] {
        say(QStringLiteral("rows written ") + QString::number(controller_.recorder().rowCount()));
    });
}

void EventLines::say(const QString& text) {
    const QString line =
        QDateTime::currentDateTime().toString(Qt::ISODateWithMs) + u' ' + text + u'\n';
    std::fputs(line.toLocal8Bit().constData(), out_);
    std::fflush(out_);
}
