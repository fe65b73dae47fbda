// What the trend chart shows of a history, without a chart: no widget, no
// display, only Qt Core.
#include "support/SupplyCycle.h"
#include "support/TrendCycle.h"
#include "trend/TrendLines.h"

#include <QtTest>
#include <rapidcheck.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr qint64 MinuteMs = 60 * 1000;
constexpr qint64 DayMs = 24 * 60 * MinuteMs;

const QDateTime kStart = TrendCycle::start();
using TrendCycle::readings;

// The index of a quantity's lines in a frame.
size_t lineOf(Quantity quantity) {
    return size_t(std::find(TrendLines::Plotted.begin(), TrendLines::Plotted.end(), quantity) -
                  TrendLines::Plotted.begin());
}

// A model played through the polling cycle, its history following it.
struct Played {
    Played() : cycle(model, kStart) { history.follow(model); }
    void play(int cycles) {
        for (int k = 0; k < cycles; ++k)
            cycle.play(TrendCycle::values(played++));
    }
    // Everything, as the "all" span shows it.
    TrendLines::Frame all(int columns = 1000) const {
        return TrendLines::frame(history, history.firstMsecs(), history.lastMsecs(), columns);
    }
    SupplyModel model;
    ReadingHistory history;
    SupplyCycle cycle;
    int played = 0;
};

} // namespace

class TestTrendLines : public QObject {
    Q_OBJECT
private slots:
    void linesBreakAtLinkEvents();
    void outputOffIsBoxed();
    void axesFitTheReadingsInView_data();
    void axesFitTheReadingsInView();
    void aDayInViewKeepsOnlyReadingsAndTheirExtremes();
    void forgedRecordingStaysDrawable();
    void powerFromReadingsInForce_data();
    void powerFromReadingsInForce();
    void runsSplitExactlyAtEvents();
};

void TestTrendLines::linesBreakAtLinkEvents() {
    Played run;
    TrendCycle::playThreeRuns(run.cycle, run.played);
    const TrendLines::Frame frame = run.all();
    const auto& volts = frame.lines[lineOf(Quantity::MeasuredVoltage)];
    QCOMPARE(volts.size(), 3);
    QCOMPARE(volts[0].size(), 3);
    QCOMPARE(volts[1].size(), 2);
    QCOMPARE(volts[2].size(), 1);
    QList<QPointF> joined;
    for (const auto& line : volts)
        joined << line;
    QCOMPARE(joined, readings(run.history, Quantity::MeasuredVoltage));
    // A setpoint holds until the event that ends its run, not across it,
    // and the last run's to the latest thing known.
    const auto& set = frame.lines[lineOf(Quantity::SetVoltage)];
    QCOMPARE(set.size(), 3);
    QCOMPARE(qint64(set[0].last().x()), run.history.events()[0].msecs);
    QCOMPARE(qint64(set[1].last().x()), run.history.events()[2].msecs);
    QCOMPARE(qint64(set[2].last().x()), run.history.lastMsecs());
}

void TestTrendLines::outputOffIsBoxed() {
    Played run;
    run.play(9); // off as read in cycles 4, 5 and 6
    const auto& output = run.history.points(Quantity::Output);
    const double off = double(output[4].msecs);
    const double on = double(output[7].msecs);
    QCOMPARE(run.all().outputOff, (QList<QPointF>{{off, 0}, {off, 1}, {on, 1}, {on, 0}}));
    // Off to the end: the box holds to the latest thing known.
    run.cycle.play([] {
        SupplyCycle::Values v;
        v.output = OutputState::Off;
        return v;
    }());
    const QList<QPointF> boxes = run.all().outputOff;
    QCOMPARE(boxes.size(), 8);
    QCOMPARE(qint64(boxes.last().x()), run.history.lastMsecs());
}

void TestTrendLines::axesFitTheReadingsInView_data() {
    QTest::addColumn<qint64>("width");
    QTest::addColumn<double>("voltsAtLeast");
    QTest::addColumn<double>("voltsBelow");
    QTest::addColumn<double>("ampsAtLeast");
    QTest::addColumn<double>("ampsBelow");
    // The spike of the first cycle is out of a minute's view.
    QTest::newRow("last minute") << MinuteMs << 12.5 << 15.0 << 1.0 << 1.5;
    QTest::newRow("everything") << DayMs << 30.0 << 40.0 << 3.0 << 4.0;
}

void TestTrendLines::axesFitTheReadingsInView() {
    QFETCH(qint64, width);
    QFETCH(double, voltsAtLeast);
    QFETCH(double, voltsBelow);
    QFETCH(double, ampsAtLeast);
    QFETCH(double, ampsBelow);
    Played run;
    SupplyCycle::Values spike;
    spike.measuredVoltage = 30.0;
    spike.setVoltage = 30.0;
    spike.measuredCurrent = 3.0;
    run.cycle.play(spike);
    run.play(20); // three minutes of 12 to 12.5 V, 0.5 to 1 A
    const qint64 to = run.history.lastMsecs();
    const TrendLines::Frame frame = TrendLines::frame(run.history, to - width, to, 800);
    for (const auto& [axis, atLeast, below, floor] :
         {std::tuple{frame.volts, voltsAtLeast, voltsBelow, 12.0},
          std::tuple{frame.amps, ampsAtLeast, ampsBelow, 0.5}}) {
        QVERIFY2(axis.high >= atLeast && axis.high < below, qPrintable(QString::number(axis.high)));
        // A margin below the lowest value in view, never below zero.
        QVERIFY2(axis.low < floor && axis.low >= 0.0, qPrintable(QString::number(axis.low)));
        // Round ticks: a whole number of steps between the ends.
        QVERIFY(axis.ticks >= 2 && axis.ticks <= 8);
        const double step = (axis.high - axis.low) / (axis.ticks - 1);
        const double mantissa = step / std::pow(10.0, std::floor(std::log10(step)));
        QVERIFY2(QList<double>({1.0, 2.0, 2.5, 5.0}).contains(std::round(mantissa * 1e9) / 1e9),
                 qPrintable(QString::number(step)));
    }
}

void TestTrendLines::aDayInViewKeepsOnlyReadingsAndTheirExtremes() {
    Played run;
    // A day of cycles, the measured voltage wandering, one spike up and
    // one dip down.
    for (int n = 0; n < 9600; ++n) {
        SupplyCycle::Values v;
        v.measuredVoltage =
            12.0 + 0.001 * ((n * 37) % 101) + (n == 5000 ? 3.0 : 0.0) - (n == 7000 ? 2.0 : 0.0);
        run.cycle.play(v);
    }
    constexpr int Columns = 700;
    const qint64 to = run.history.lastMsecs() + DayMs / 50;
    const TrendLines::Frame frame = TrendLines::frame(run.history, to - DayMs, to, Columns);
    const QList<QPointF> all = readings(run.history, Quantity::MeasuredVoltage);
    QCOMPARE(frame.lines[lineOf(Quantity::MeasuredVoltage)].size(), 1);
    const QList<QPointF>& shown = frame.lines[lineOf(Quantity::MeasuredVoltage)].front();
    // Fewer than the readings, at most two for each pixel column...
    QVERIFY(shown.size() < all.size());
    QVERIFY(shown.size() <= 2 * Columns + 2);
    // ...each of them a reading, in time order...
    qsizetype at = 0;
    for (const QPointF& p : shown) {
        while (at < all.size() && all[at] != p)
            ++at;
        QVERIFY2(at < all.size(), qPrintable(QString::number(p.x(), 'f', 0)));
    }
    // ...the extremes and the latest among them.
    QVERIFY(shown.contains(all[5000]));
    QVERIFY(shown.contains(all[7000]));
    QCOMPARE(shown.last(), all.last());
    QVERIFY(frame.volts.high >= all[5000].y());
    QVERIFY(frame.volts.low <= all[7000].y());
}

void TestTrendLines::forgedRecordingStaysDrawable() {
    // An event between every two readings, and the largest doubles.
    ReadingHistory history(ReadingHistory::Limits{366 * DayMs, 100000, 100000});
    const qint64 t0 = kStart.toMSecsSinceEpoch();
    for (int k = 0; k < 5000; ++k) {
        const double huge = k % 2 ? 1.7e308 : -1.7e308;
        history.addPoint(Quantity::MeasuredVoltage, t0 + 2 * k, huge);
        history.addPoint(Quantity::SetCurrent, t0 + 2 * k, -huge);
        history.addEvent(t0 + 2 * k + 1, QStringLiteral("port lost"));
    }
    const TrendLines::Frame frame =
        TrendLines::frame(history, history.firstMsecs(), history.lastMsecs(), 1000);
    const auto& runs = frame.lines[lineOf(Quantity::MeasuredVoltage)];
    QCOMPARE(runs.size(), qsizetype(TrendLines::MaxRuns));
    qsizetype points = 0;
    for (const auto& line : runs)
        points += line.size();
    QVERIFY(points <= 5000);
    for (const TrendLines::Axis& axis : {frame.volts, frame.amps}) {
        QVERIFY(std::isfinite(axis.low) && std::isfinite(axis.high));
        QVERIFY(axis.low < axis.high);
    }
}

void TestTrendLines::powerFromReadingsInForce_data() {
    // Readings as (ms, value); events at their ms; power as (ms, watts).
    QTest::addColumn<QList<QPointF>>("volts");
    QTest::addColumn<QList<QPointF>>("amps");
    QTest::addColumn<QList<qint64>>("events");
    QTest::addColumn<QList<QPointF>>("power");
    QTest::newRow("each new reading with the other's latest, once both are read")
        << QList<QPointF>{{0, 10}, {1000, 12}} << QList<QPointF>{{0, -2}, {0, 0.5}, {1500, 1}}
        << QList<qint64>{} << QList<QPointF>{{0, -20}, {0, 5}, {1000, 6}, {1500, 12}};
    QTest::newRow("nothing across a link event")
        << QList<QPointF>{{0, 10}, {1000, 5}} << QList<QPointF>{{500, 1}, {1500, 2}}
        << QList<qint64>{700} << QList<QPointF>{{500, 10}, {1500, 10}};
    QTest::newRow("a reading at the event's millisecond came before it")
        << QList<QPointF>{{0, 2}, {900, 4}} << QList<QPointF>{{700, 3}} << QList<qint64>{700}
        << QList<QPointF>{{700, 6}};
}

void TestTrendLines::powerFromReadingsInForce() {
    QFETCH(QList<QPointF>, volts);
    QFETCH(QList<QPointF>, amps);
    QFETCH(QList<qint64>, events);
    QFETCH(QList<QPointF>, power);
    ReadingHistory history;
    for (const auto& [quantity, points] :
         {std::pair{Quantity::MeasuredVoltage, volts}, {Quantity::MeasuredCurrent, amps}})
        for (const QPointF& p : points)
            history.addPoint(quantity, qint64(p.x()), p.y());
    for (qint64 at : events)
        history.addEvent(at, QStringLiteral("port lost"));
    QList<QPointF> got;
    for (const ReadingHistory::Point& p : TrendLines::powerPoints(history, 0, 2000))
        got << QPointF(double(p.msecs), p.value);
    QCOMPARE(got, power);
}

QTEST_GUILESS_MAIN(TestTrendLines)
#include "test_trend_lines.moc"

// Any readings, events and view: the runs cover the readings in view and one
// on either side, in order and without a gap, and two neighbouring readings
// lie in different runs exactly when an event came between them (an event of
// a reading's own millisecond comes before it).
void TestTrendLines::runsSplitExactlyAtEvents() {
    using Point = ReadingHistory::Point;
    using Event = ReadingHistory::Event;
    const bool ok = rc::check([] {
        auto times = *rc::gen::container<std::vector<qint64>>(rc::gen::inRange<qint64>(0, 400));
        auto eventTimes =
            *rc::gen::container<std::vector<qint64>>(rc::gen::inRange<qint64>(0, 400));
        RC_PRE(!times.empty());
        std::sort(times.begin(), times.end());
        std::sort(eventTimes.begin(), eventTimes.end());
        std::deque<Point> points;
        for (qint64 t : times)
            points.push_back({t, double(t)});
        std::deque<Event> events;
        for (qint64 t : eventTimes)
            events.push_back({t, QStringLiteral("port lost")});
        const qint64 from = *rc::gen::inRange<qint64>(-10, 410);
        const qint64 to = from + *rc::gen::inRange<qint64>(0, 420);

        const auto runs = TrendLines::runsInView(points, events, 500, from, to);
        const auto firstIn =
            std::find_if(times.begin(), times.end(), [from](qint64 t) { return t >= from; });
        const auto pastView =
            std::find_if(times.begin(), times.end(), [to](qint64 t) { return t > to; });
        const size_t lo = size_t(std::max<std::ptrdiff_t>(firstIn - times.begin() - 1, 0));
        const size_t hi = std::min(size_t(pastView - times.begin()) + 1, times.size());
        if (lo >= hi) {
            RC_ASSERT(runs.empty());
            return;
        }
        RC_ASSERT(!runs.empty());
        RC_ASSERT(runs.front().begin == lo);
        RC_ASSERT(runs.back().end == hi);
        for (size_t r = 0; r < runs.size(); ++r) {
            RC_ASSERT(runs[r].begin < runs[r].end);
            if (r > 0)
                RC_ASSERT(runs[r].begin == runs[r - 1].end);
        }
        // The last run allowed takes all the rest.
        const size_t judged = runs.size() == TrendLines::MaxRuns ? runs.size() - 1 : runs.size();
        for (size_t r = 0; r < judged; ++r) {
            for (size_t k = runs[r].begin + 1; k <= runs[r].end && k < hi; ++k) {
                const bool between =
                    std::any_of(eventTimes.begin(), eventTimes.end(),
                                [&](qint64 e) { return times[k - 1] <= e && e < times[k]; });
                RC_ASSERT(between == (k == runs[r].end));
            }
        }
    });
    QVERIFY(ok);
}
