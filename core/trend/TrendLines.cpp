#include "TrendLines.h"

#include <algorithm>
#include <cmath>

namespace {

using Point = ReadingHistory::Point;
using Event = ReadingHistory::Event;
using Run = TrendLines::Run;

// A run's readings walked with an iterator: indexing a deque finds the
// block of every element anew, and a week in view is a million of them.
std::pair<std::deque<Point>::const_iterator, std::deque<Point>::const_iterator>
runRange(const std::deque<Point>& points, const Run& run) {
    return {points.begin() + qsizetype(run.begin), points.begin() + qsizetype(run.end)};
}

QList<QPointF> throughReadings(const std::deque<Point>& points, const Run& run) {
    QList<QPointF> line;
    line.reserve(qsizetype(run.end - run.begin));
    const auto [first, last] = runRange(points, run);
    for (auto p = first; p != last; ++p)
        line.emplaceBack(double(p->msecs), p->value);
    return line;
}

// Each stretch from a reading of "off" to the next reading of the output
// (or the end of the run) as a box of height 1.
QList<QPointF> offBoxes(const ReadingHistory& history, qint64 from, qint64 to) {
    const auto& points = history.points(Quantity::Output);
    QList<QPointF> edge;
    for (const Run& run :
         TrendLines::runsInView(points, history.events(), history.lastMsecs(), from, to)) {
        bool off = false;
        qint64 since = 0;
        const auto close = [&](qint64 at) {
            edge << QPointF(double(since), 0) << QPointF(double(since), 1) << QPointF(double(at), 1)
                 << QPointF(double(at), 0);
            off = false;
        };
        const auto [first, last] = runRange(points, run);
        for (auto p = first; p != last; ++p) {
            const bool readOff = p->value == 0.0;
            if (readOff && !off) {
                off = true;
                since = p->msecs;
            } else if (!readOff && off) {
                close(p->msecs);
            }
        }
        if (off)
            close(run.holdUntil);
    }
    return edge;
}

// The least and greatest value the lines take inside [from, to], a segment
// cut at the view's edges counting with its value there.
void extend(const QList<QPointF>& line, double from, double to, std::optional<double>& low,
            std::optional<double>& high) {
    const auto take = [&](double y) {
        low = low ? std::min(*low, y) : y;
        high = high ? std::max(*high, y) : y;
    };
    // Weighted rather than by the difference, which overflows for the
    // largest doubles.
    const auto at = [](const QPointF& a, const QPointF& b, double x) {
        if (b.x() == a.x())
            return b.y();
        const double f = (x - a.x()) / (b.x() - a.x());
        return a.y() * (1 - f) + b.y() * f;
    };
    for (qsizetype k = 0; k < line.size(); ++k) {
        const QPointF& p = line[k];
        if (p.x() >= from && p.x() <= to)
            take(p.y());
        if (k + 1 == line.size())
            break;
        const QPointF& q = line[k + 1];
        if (p.x() < from && q.x() >= from)
            take(at(p, q, from));
        if (p.x() <= to && q.x() > to)
            take(at(p, q, to));
    }
}

// A margin of a twelfth of the range (of a tenth of the value for a flat
// line) keeps the lines off the frame; values that are never negative keep
// a floor at zero.
TrendLines::Axis fitted(const std::optional<double>& low, const std::optional<double>& high) {
    if (!low)
        return {0.0, 1.0, 0};
    const double lo = *low;
    const double hi = *high;
    // Halves first: the span of the largest doubles would overflow.
    const double pad = hi > lo ? (hi / 2 - lo / 2) / 6.0 : std::max(std::abs(hi) / 10.0, 1e-3);
    const double bottom = lo >= 0.0 ? std::max(0.0, lo - pad) : lo - pad;
    const double top = hi + pad;
    if (std::isfinite(bottom) && std::isfinite(top))
        return TrendLines::roundAxis(bottom, top);
    return {std::min(lo, 0.0), std::max(hi, 0.0), 0};
}

} // namespace

std::vector<Run> TrendLines::runsInView(const std::deque<Point>& points,
                                        const std::deque<Event>& events, qint64 latest, qint64 from,
                                        qint64 to) {
    const auto byTime = [](const Point& p, qint64 t) { return p.msecs < t; };
    const auto beforeTime = [](qint64 t, const Point& p) { return t < p.msecs; };
    size_t lo =
        size_t(std::lower_bound(points.begin(), points.end(), from, byTime) - points.begin());
    size_t hi =
        size_t(std::upper_bound(points.begin(), points.end(), to, beforeTime) - points.begin());
    if (lo > 0)
        --lo;
    if (hi < points.size())
        ++hi;
    std::vector<Run> runs;
    size_t i = lo;
    while (i < hi) {
        // A reading of the same millisecond as an event came before it.
        const qint64 t = points[i].msecs;
        const auto next = std::lower_bound(events.begin(), events.end(), t,
                                           [](const Event& e, qint64 at) { return e.msecs < at; });
        const std::optional<qint64> cut =
            next == events.end() ? std::nullopt : std::optional<qint64>(next->msecs);
        const bool last = runs.size() + 1 == MaxRuns;
        // The run ends at the first reading after the event: found by
        // halving, since a week in view is a million readings.
        size_t j = hi;
        if (!last && cut)
            j = size_t(std::upper_bound(points.begin() + qsizetype(i) + 1,
                                        points.begin() + qsizetype(hi), *cut, beforeTime) -
                       points.begin());
        qint64 hold = cut ? *cut : latest;
        if (last || (j == hi && hi < points.size() && (!cut || points[hi].msecs <= *cut)))
            hold = points[j - 1].msecs;
        runs.push_back({i, j, std::max(hold, points[j - 1].msecs)});
        i = j;
    }
    return runs;
}

QList<QPointF> TrendLines::sampleAndHold(const std::deque<Point>& points, const Run& run) {
    QList<QPointF> line;
    const auto [first, last] = runRange(points, run);
    double value = first->value;
    line << QPointF(double(first->msecs), value);
    for (auto p = first + 1; p != last; ++p) {
        if (p->value == value)
            continue;
        const double t = double(p->msecs);
        line << QPointF(t, value) << QPointF(t, p->value);
        value = p->value;
    }
    if (double(run.holdUntil) > line.back().x())
        line << QPointF(double(run.holdUntil), value);
    return line;
}

// Keeping each column's extremes leaves the line the same height in every
// column, so it looks the same to within a pixel; every point kept is a
// reading; and laying out and drawing cost what the plot's width allows
// rather than what the history holds.
QList<QPointF> TrendLines::thin(const QList<QPointF>& line, double from, double to, int columns) {
    if (line.size() <= 2 * qsizetype(columns) || to <= from)
        return line;
    const double scale = columns / (to - from);
    const auto column = [&](const QPointF& p) { return std::floor((p.x() - from) * scale); };
    QList<QPointF> kept;
    kept.reserve(2 * qsizetype(columns) + 4);
    qsizetype k = 0;
    while (k < line.size()) {
        const double c = column(line[k]);
        qsizetype lowest = k;
        qsizetype highest = k;
        qsizetype end = k + 1;
        for (; end < line.size() && column(line[end]) == c; ++end) {
            if (line[end].y() < line[lowest].y())
                lowest = end;
            if (line[end].y() > line[highest].y())
                highest = end;
        }
        kept << line[std::min(lowest, highest)];
        if (lowest != highest)
            kept << line[std::max(lowest, highest)];
        k = end;
    }
    // The line starts and ends where its readings do: the latest one is
    // the live end of the plot.
    if (kept.front() != line.front())
        kept.prepend(line.front());
    if (kept.back() != line.back())
        kept << line.back();
    return kept;
}

// A general-purpose rounding may double a range; this one widens it by less
// than two steps.
TrendLines::Axis TrendLines::roundAxis(double low, double high) {
    constexpr int MaxTicks = 7;
    const double raw = (high - low) / (MaxTicks - 1);
    if (!std::isfinite(raw) || raw <= 0.0)
        return {low, high, 0};
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    double step = 10 * magnitude;
    for (double m : {1.0, 2.0, 2.5, 5.0}) {
        if (m * magnitude >= raw) {
            step = m * magnitude;
            break;
        }
    }
    const double bottom = std::floor(low / step) * step;
    const double top = std::ceil(high / step) * step;
    if (!std::isfinite(bottom) || !std::isfinite(top))
        return {low, high, 0};
    return {bottom, top, int(std::lround((top - bottom) / step)) + 1};
}

std::deque<Point> TrendLines::powerPoints(const ReadingHistory& history, qint64 from, qint64 to) {
    const auto& volts = history.points(Quantity::MeasuredVoltage);
    const auto& amps = history.points(Quantity::MeasuredCurrent);
    // Two readings of each before the view, so that a power stands before
    // it and the line enters the view; one after, so that it leaves it.
    const auto bounds = [from, to](const std::deque<Point>& points) {
        const auto byTime = [](const Point& p, qint64 t) { return p.msecs < t; };
        const auto beforeTime = [](qint64 t, const Point& p) { return t < p.msecs; };
        const auto lo = std::lower_bound(points.begin(), points.end(), from, byTime);
        const auto hi = std::upper_bound(points.begin(), points.end(), to, beforeTime);
        return std::pair{size_t(std::max<ptrdiff_t>(lo - points.begin() - 2, 0)),
                         std::min(size_t(hi - points.begin()) + 1, points.size())};
    };
    auto [i, iEnd] = bounds(volts);
    auto [j, jEnd] = bounds(amps);
    const auto& events = history.events();
    auto event = events.begin();
    std::optional<double> v;
    std::optional<double> a;
    std::deque<Point> power;
    while (i < iEnd || j < jEnd) {
        const bool isVolts = j >= jEnd || (i < iEnd && volts[i].msecs <= amps[j].msecs);
        const Point& p = isVolts ? volts[i++] : amps[j++];
        // A reading of the same millisecond as an event came before it.
        for (; event != events.end() && event->msecs < p.msecs; ++event) {
            v.reset();
            a.reset();
        }
        (isVolts ? v : a) = p.value;
        if (v && a)
            power.push_back({p.msecs, *v * *a});
    }
    return power;
}

TrendLines::Frame TrendLines::frame(const ReadingHistory& history, qint64 from, qint64 to,
                                    int columns, bool withPower) {
    Frame frame;
    std::optional<double> low[2];
    std::optional<double> high[2];
    for (size_t i = 0; i < Plotted.size(); ++i) {
        const Quantity quantity = Plotted[i];
        const auto& points = history.points(quantity);
        for (const Run& run : runsInView(points, history.events(), history.lastMsecs(), from, to)) {
            const QList<QPointF> line =
                isStep(quantity) ? sampleAndHold(points, run) : throughReadings(points, run);
            frame.lines[i] << thin(line, double(from), double(to), columns);
            const int side = isVoltage(quantity) ? 0 : 1;
            extend(frame.lines[i].back(), double(from), double(to), low[side], high[side]);
        }
    }
    frame.outputOff = offBoxes(history, from, to);
    frame.volts = fitted(low[0], high[0]);
    frame.amps = fitted(low[1], high[1]);
    if (withPower) {
        const std::deque<Point> power = powerPoints(history, from, to);
        std::optional<double> least;
        std::optional<double> most;
        for (const Run& run : runsInView(power, history.events(), history.lastMsecs(), from, to)) {
            frame.power << thin(throughReadings(power, run), double(from), double(to), columns);
            extend(frame.power.back(), double(from), double(to), least, most);
        }
        frame.watts = fitted(least, most);
    }
    return frame;
}

std::optional<Point> TrendLines::nearest(const std::deque<Point>& points, qint64 t, qint64 from,
                                         qint64 to) {
    const auto at = std::lower_bound(points.begin(), points.end(), t,
                                     [](const Point& p, qint64 time) { return p.msecs < time; });
    std::optional<Point> best;
    const auto consider = [&](const Point& p) {
        if (p.msecs < from || p.msecs > to)
            return;
        if (!best || std::abs(p.msecs - t) < std::abs(best->msecs - t))
            best = p;
    };
    if (at != points.end())
        consider(*at);
    if (at != points.begin())
        consider(*(at - 1));
    return best;
}
