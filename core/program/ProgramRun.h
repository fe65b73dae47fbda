#pragma once

#include "ProgramStep.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class SupplyLink;

// Steps the supply through a list: each step's voltage, current and output
// go out through the operator's own commands (the set buttons' test, the
// same commands and polling steps), then the step's dwell passes, or the
// step ends early on its condition (see StepCondition). Polling,
// the read-outs, a recording and the trend go on as for commands by hand;
// the run's events reach a recording as notes of the supply model.
//
// A run ends with the output switched off: at its end (unless asked to keep
// it), when stopped, when the port closes or is lost (switched off when the
// line opens again) and when the run is destroyed while going.
class ProgramRun : public QObject {
    Q_OBJECT
public:
    static constexpr int Endless = 0;

    struct Program {
        ProgramSteps steps;
        int repeat = 1; // 1 to ProgramLimits::MaxRepeat, or Endless
        // The list file's name for the events; empty for steps made by hand.
        QString name;
        bool keepOutputAtEnd = false;
    };
    enum class State { Idle, Running, Paused };
    enum class Start { Started, Busy, NoSteps, BadRepeat, BadStep, OutsideLimits, PortClosed };
    enum class End { Finished, Stopped, PortGone, Refused };

    explicit ProgramRun(SupplyLink& link, QObject* parent = nullptr);
    ~ProgramRun() override;

    // Checks every step against the panel's limits first, then the port
    // (with the port closed the port-closed message is shown); starts only
    // when both pass.
    Start start(Program program);
    void pause();
    void resume();
    // Ends a run that is going, and switches the output off.
    void stop();

    State state() const { return state_; }
    bool isActive() const { return state_ != State::Idle; }
    const Program& program() const { return program_; }
    // The step in force (0-based) and the pass through the list (1-based).
    int stepIndex() const { return index_; }
    int pass() const { return pass_; }
    // Until the run ends; for an endless run, until this pass ends.
    qint64 remainingMsecs() const;
    qint64 totalMsecs() const;
    // The time the current step's commands were due, on the run's clock
    // (milliseconds since the start, pauses left out), and that clock now.
    qint64 stepDueMsecs() const { return dueMs_; }
    qint64 clockMsecs() const;

    // "run started ramp.csv" or "run started 12 steps".
    static QString startedText(const Program& program);

signals:
    void stateChanged(ProgramRun::State state);
    void stepStarted(int index, int pass);
    // The run is over; for Refused, `index` is the step the limits refused
    // when it came (the rating changed meanwhile), else -1.
    void ended(ProgramRun::End end, int index);

private:
    void runStep();
    void next();
    void finish(End end, int refused = -1);
    void setState(State state);
    void note(const QString& text);
    void linkChanged(LinkEvent event);
    void readingIn(Quantity quantity, double value);
    void dwellOver();
    QString stepText() const;
    qint64 stepMsecs(int index) const;

    SupplyLink& link_;
    Program program_;
    State state_ = State::Idle;
    int index_ = -1;
    int pass_ = 0;
    // Each step's start within a pass, and a pass's length.
    std::vector<qint64> offsets_;
    qint64 passMs_ = 0;
    QTimer timer_;
    // Runs while the run is going; pauses are taken off by moving the due time.
    QElapsedTimer clock_;
    qint64 dueMs_ = 0;
    qint64 nextDueMs_ = 0;
    qint64 pausedAtMs_ = 0;
    // The step's condition judges readings only once a polling query went
    // out after its commands: an answer already on its way tells of the
    // step before.
    bool conditionArmed_ = false;
};
