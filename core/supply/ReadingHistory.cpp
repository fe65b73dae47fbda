#include "ReadingHistory.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

// The wall time of a reading is taken as it is decoded, the steady time as
// it reaches the history, in the same pass of the event loop: they part by
// far less than this unless the clock was set.
constexpr qint64 ClockSetMs = 1000;

} // namespace

ReadingHistory::SteadyClock ReadingHistory::systemSteadyClock() {
    return [] {
        return qint64(std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now().time_since_epoch())
                          .count());
    };
}

ReadingHistory::ReadingHistory(Limits limits, QObject* parent) : QObject(parent), limits_(limits) {}

void ReadingHistory::follow(const SupplyModel& model, SteadyClock steady) {
    steady_ = std::move(steady);
    connect(&model, &SupplyModel::changed, this, &ReadingHistory::addReading);
    connect(&model, &SupplyModel::linkEvent, this, &ReadingHistory::addLinkEvent);
}

void ReadingHistory::addReading(Quantity quantity, const QVariant& value, const QDateTime& time) {
    if (!kept(quantity) || !time.isValid())
        return;
    double number = 0.0;
    switch (quantity) {
    case Quantity::Output:
        number = value.value<OutputState>() == OutputState::On ? 1.0 : 0.0;
        break;
    case Quantity::Mode:
        number = double(value.value<TrackingMode>());
        break;
    case Quantity::Channel:
        number = value.toInt();
        break;
    default:
        number = value.toDouble();
        break;
    }
    followWallClock(time.toMSecsSinceEpoch());
    addPoint(quantity, time.toMSecsSinceEpoch(), number);
}

void ReadingHistory::addLinkEvent(LinkEvent event, const QDateTime& time) {
    if (!time.isValid())
        return;
    followWallClock(time.toMSecsSinceEpoch());
    addEvent(time.toMSecsSinceEpoch(), linkEventText(event));
}

void ReadingHistory::followWallClock(qint64 msecs) {
    if (!steady_)
        return;
    const Moment now{msecs, steady_()};
    if (lastSeen_) {
        const qint64 set = (now.wall - lastSeen_->wall) - (now.steady - lastSeen_->steady);
        if (std::abs(set) > ClockSetMs) {
            for (auto& points : points_) {
                for (Point& point : points)
                    point.msecs += set;
            }
            for (Event& event : events_)
                event.msecs += set;
        }
    }
    lastSeen_ = now;
}

void ReadingHistory::addPoint(Quantity quantity, qint64 msecs, double value) {
    // A value that no axis can show and no recording can write back.
    if (!kept(quantity) || !std::isfinite(value))
        return;
    std::deque<Point>& points = points_[int(quantity)];
    const Point point{msecs, value};
    // Readings come in time order; only a clock set back puts one earlier.
    if (points.empty() || points.back().msecs <= msecs) {
        points.push_back(point);
    } else {
        const auto at = std::upper_bound(points.begin(), points.end(), msecs,
                                         [](qint64 t, const Point& p) { return t < p.msecs; });
        points.insert(at, point);
    }
    const qint64 oldest = points.back().msecs - limits_.keepMsecs;
    while (!points.empty() &&
           (points.front().msecs < oldest || points.size() > size_t(limits_.maxPoints))) {
        points.pop_front();
        ++dropped_;
    }
    trimEvents();
    emit pointAdded(quantity);
}

void ReadingHistory::addEvent(qint64 msecs, const QString& text) {
    const Event event{msecs, text};
    if (events_.empty() || events_.back().msecs <= msecs) {
        events_.push_back(event);
    } else {
        const auto at = std::upper_bound(events_.begin(), events_.end(), msecs,
                                         [](qint64 t, const Event& e) { return t < e.msecs; });
        events_.insert(at, event);
    }
    trimEvents();
    emit eventAdded();
}

void ReadingHistory::trimEvents() {
    // An event matters only next to the points it separates: it goes when
    // it is older than the time limit before the newest of anything.
    const qint64 oldest = lastMsecs() - limits_.keepMsecs;
    while (!events_.empty() &&
           (events_.front().msecs < oldest || events_.size() > size_t(limits_.maxEvents))) {
        events_.pop_front();
        ++dropped_;
    }
}

const std::deque<ReadingHistory::Point>& ReadingHistory::points(Quantity quantity) const {
    Q_ASSERT(kept(quantity));
    return points_[int(quantity)];
}

bool ReadingHistory::isEmpty() const {
    if (!events_.empty())
        return false;
    return std::all_of(std::begin(points_), std::end(points_),
                       [](const std::deque<Point>& p) { return p.empty(); });
}

qint64 ReadingHistory::firstMsecs() const {
    bool any = !events_.empty();
    qint64 first = any ? events_.front().msecs : 0;
    for (const auto& p : points_) {
        if (p.empty())
            continue;
        first = any ? std::min(first, p.front().msecs) : p.front().msecs;
        any = true;
    }
    return first;
}

qint64 ReadingHistory::lastMsecs() const {
    bool any = !events_.empty();
    qint64 last = any ? events_.back().msecs : 0;
    for (const auto& p : points_) {
        if (p.empty())
            continue;
        last = any ? std::max(last, p.back().msecs) : p.back().msecs;
        any = true;
    }
    return last;
}
