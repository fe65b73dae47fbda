#pragma once

#include <QDateTime>
#include <QObject>
#include <QTimer>

class EventYield;
class LineArbiter;
class SerialControl;
class SupplyModel;
struct LinkState;

// The 18-step polling cycle: every 500 ms the next step's query goes out.
// Switched on and off by the operator; a tick that finds the port closed
// switches it off. Whether a tick may put its query on the line now is the
// line arbiter's to say.
class PollingCycle : public QObject {
    Q_OBJECT
public:
    static constexpr int IntervalMs = 500;

    PollingCycle(LinkState& state, SerialControl& comm, LineArbiter& arbiter, EventYield& yield,
                 SupplyModel& model, QObject* parent = nullptr);

    bool isPolling() const { return SysTickTimer_.isActive(); }
    // Switches polling on when it is off and off when it is on.
    void toggle();

    void SysTickTimer_Timer();

signals:
    void pollingChanged(bool polling);
    // A tick that was not skipped, with the time it ran at.
    void ticked(const QDateTime& now);

private:
    void tick();

    LinkState& state_;
    SerialControl& comm_;
    LineArbiter& arbiter_;
    EventYield& yield_;
    SupplyModel& model_;
    QTimer SysTickTimer_;
};
