#pragma once

#include "program/ProgramRun.h"

#include <QWidget>

class QCheckBox;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTimer;

// How often a list runs and what stays at its end, the start, pause and stop
// buttons, and a bar with the step, the pass and the time left of a run
// going (the longest it may take, when steps can end on a condition). It
// follows the run's state; starting is the window's, which checks the steps
// first.
class RunMonitor : public QWidget {
    Q_OBJECT
public:
    RunMonitor(ProgramRun& run, QWidget* parent);

    // 1 to ProgramLimits::MaxRepeat, or ProgramRun::Endless.
    int repeat() const;
    bool keepOutputAtEnd() const;
    void pauseOrResume();
    void showFinished();

signals:
    void startClicked();

private:
    void showState(ProgramRun::State state);
    void showProgress();

    ProgramRun& run_;
    QSpinBox* repeat_;
    QCheckBox* endless_;
    QCheckBox* keepOutput_;
    QPushButton* start_;
    QPushButton* pause_;
    QPushButton* stop_;
    QProgressBar* progress_;
    QTimer* refresh_;
};
