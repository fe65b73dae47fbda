#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdio>

class RunController;

// The headless run's account on standard error: one line per event, each
// beginning with the local time to the millisecond: the port opened, lost,
// reopened or closed, polling started or stopped (with the meter's energy,
// charge and output-on time so far), the recording started or stopped, a
// programmed run's events, watch alarms and the output timer, and once a minute
// while recording the rows written so far.
class EventLines : public QObject {
    Q_OBJECT
public:
    static constexpr int RowsEveryMs = 60 * 1000;

    EventLines(RunController& controller, std::FILE* out, QObject* parent = nullptr);

    // Any other line of the run, such as why it ends.
    void say(const QString& text);

private:
    RunController& controller_;
    std::FILE* out_;
    QTimer rows_;
};
