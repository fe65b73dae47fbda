#pragma once

#include "supply/SupplyModel.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <optional>

// What the supply read over time: for every read-out quantity, the mode and
// the channel, each reading with its time, and the link events between them.
// Kept only as far back as its limits allow: points older than the newest of
// their quantity by more than the time limit, and the oldest beyond the
// count limit, are dropped. A reading exists only where the supply was read;
// nothing is filled in between.
class ReadingHistory : public QObject {
    Q_OBJECT
public:
    // The quantities kept: the six numbers, output, mode and channel.
    static constexpr int QuantityCount = int(Quantity::Channel) + 1;

    struct Point {
        qint64 msecs; // since the epoch, UTC
        double value; // the number; 0/1 for output off/on; the mode's wire
                      // number; the channel
    };
    struct Event {
        qint64 msecs;
        QString text; // as the recording format names it ("port opened")
    };
    struct Limits {
        qint64 keepMsecs;
        int maxPoints; // per quantity
        int maxEvents;
    };

    // A day per quantity. At most one point per 3 s for each of the nine
    // quantities: an undisturbed polling cycle reads each once per 9 s, so
    // only a day of operator commands that restart the cycle comes near it.
    // Nine quantities of 16-byte points stay near 4.2 MB.
    static constexpr Limits liveLimits() { return {24LL * 3600 * 1000, 28800, 4096}; }

    // Milliseconds on a clock that setting the system's time does not move.
    using SteadyClock = std::function<qint64()>;
    static SteadyClock systemSteadyClock();

    explicit ReadingHistory(Limits limits = liveLimits(), QObject* parent = nullptr);

    // Keeps every reading and link event the model announces from now on.
    // Given a steady clock, a wall clock set forward or back is told from
    // time passing, and what is kept moves with the wall clock: readings
    // keep their order, and a clock set a day forward drops nothing.
    // Without one, the model's times are taken as they come.
    void follow(const SupplyModel& model, SteadyClock steady = {});

    void addReading(Quantity quantity, const QVariant& value, const QDateTime& time);
    void addLinkEvent(LinkEvent event, const QDateTime& time);
    void addPoint(Quantity quantity, qint64 msecs, double value);
    void addEvent(qint64 msecs, const QString& text);

    static bool kept(Quantity quantity) { return int(quantity) < QuantityCount; }
    // In time order; equal times in the order they came.
    const std::deque<Point>& points(Quantity quantity) const;
    const std::deque<Event>& events() const { return events_; }
    bool isEmpty() const;
    // The earliest and latest time of any point or event; 0 when empty.
    qint64 firstMsecs() const;
    qint64 lastMsecs() const;
    // Points and events dropped to stay within the limits.
    qint64 dropped() const { return dropped_; }
    const Limits& limits() const { return limits_; }

signals:
    void pointAdded(Quantity quantity);
    void eventAdded();

private:
    // Moves everything kept by the difference between the wall clock's step
    // since the last reading or event and the steady clock's.
    void followWallClock(qint64 msecs);
    void trimEvents();

    Limits limits_;
    std::deque<Point> points_[QuantityCount];
    std::deque<Event> events_;
    qint64 dropped_ = 0;
    SteadyClock steady_;
    struct Moment {
        qint64 wall;
        qint64 steady;
    };
    std::optional<Moment> lastSeen_;
};
