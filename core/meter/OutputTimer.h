#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

class SupplyModel;
class SupplySwitches;

// Switches the output off once it has been on for a set time. Started with
// the output off, it waits for the output to come on and counts from then.
// The output going off while it counts (by hand, by a script client, by a
// programmed run ending) cancels it. Starting, counting, cancelling and
// running out are notes of the model, so a recording and the headless
// program's event lines show them with the time left.
class OutputTimer : public QObject {
    Q_OBJECT
public:
    enum class State { Idle, Waiting, Counting };
    static constexpr std::chrono::seconds Longest{7 * 24 * 3600};

    // `switchOff` takes the supply to its safe state when the time is up.
    OutputTimer(SupplySwitches& switches, SupplyModel& model, std::function<void()> switchOff,
                QObject* parent = nullptr);

    // False, and nothing changed, for a duration under a second or over
    // Longest. A timer already set starts again with the new duration.
    bool start(std::chrono::seconds duration);
    void cancel();

    State state() const { return state_; }
    bool isActive() const { return state_ != State::Idle; }
    std::chrono::seconds duration() const { return duration_; }
    // While counting, the time left rounded up to the second; while
    // waiting, the whole duration; nothing when idle.
    std::chrono::seconds remaining() const;

signals:
    void stateChanged(OutputTimer::State state);
    // The time ran out and the output was asked off.
    void expired();

private:
    void outputShown(bool on);
    void beginCounting();
    void runOut();
    void setState(State state);
    void note(const QString& text);

    SupplySwitches& switches_;
    SupplyModel& model_;
    std::function<void()> switchOff_;
    QTimer timer_;
    QDeadlineTimer deadline_;
    std::chrono::seconds duration_{0};
    State state_ = State::Idle;
};
