#include "supply/ReadingHistory.h"
#include "support/SupplyCycle.h"

#include <QtTest>

#include <malloc.h>

namespace {

constexpr qint64 HourMs = 3600 * 1000;
constexpr qint64 DayMs = 24 * HourMs;

const QDateTime kStart =
    QDateTime::fromString(QStringLiteral("2026-12-07T08:00:00.000+01:00"), Qt::ISODateWithMs);

// The steps of the cycle that read each kept quantity.
int stepOf(Quantity quantity) {
    return int(quantity) + 1;
}

double valueIn(const SupplyCycle::Values& v, Quantity quantity) {
    switch (quantity) {
    case Quantity::MeasuredVoltage:
        return v.measuredVoltage;
    case Quantity::MeasuredCurrent:
        return v.measuredCurrent;
    case Quantity::SetVoltage:
        return v.setVoltage;
    case Quantity::SetCurrent:
        return v.setCurrent;
    case Quantity::OverVoltage:
        return v.overVoltage;
    case Quantity::OverCurrent:
        return v.overCurrent;
    case Quantity::Output:
        return v.output == OutputState::On ? 1 : 0;
    case Quantity::Mode:
        return double(v.mode);
    default:
        return v.channel;
    }
}

SupplyCycle::Values cycleValues(int n) {
    SupplyCycle::Values v;
    v.measuredVoltage = 12.0 + 0.01 * n;
    v.measuredCurrent = 0.25 * n;
    v.setVoltage = n < 2 ? 12.0 : 5.0;
    v.setCurrent = 1.5;
    v.overVoltage = 13.0 + n;
    v.overCurrent = 2.0 - 0.1 * n;
    v.output = n % 2 ? OutputState::Off : OutputState::On;
    v.mode = TrackingMode(n % 3);
    v.channel = 1 + n % 2;
    return v;
}

} // namespace

class TestReadingHistory : public QObject {
    Q_OBJECT
private slots:
    void pointsOnlyWhereRead();
    void identityAndInvalidReadingsAreNotKept();
    void linkEventsAreKeptWithTheirTexts();
    void dropsWhatIsOlderThanADay_data();
    void dropsWhatIsOlderThanADay();
    void eachQuantityKeepsItsOwnDay();
    void countIsBounded();
    void aDayAtTheFastestRateStaysUnderFiveMegabytes();
    void aReadingFromAClockSetBackGoesInTimeOrder();
    void aClockSetForwardOrBackKeepsEverything_data();
    void aClockSetForwardOrBackKeepsEverything();
};

void TestReadingHistory::pointsOnlyWhereRead() {
    SupplyModel model;
    ReadingHistory history;
    history.follow(model);
    SupplyCycle cycle(model, kStart);
    QList<QDateTime> starts;
    for (int n = 0; n < 4; ++n)
        starts << cycle.play(cycleValues(n));

    for (int q = 0; q < ReadingHistory::QuantityCount; ++q) {
        const auto quantity = Quantity(q);
        const auto& points = history.points(quantity);
        QCOMPARE(points.size(), size_t(starts.size()));
        for (int n = 0; n < starts.size(); ++n) {
            const auto& point = points[size_t(n)];
            QCOMPARE(point.msecs,
                     SupplyCycle::stepTime(starts[n], stepOf(quantity)).toMSecsSinceEpoch());
            QCOMPARE(point.value, valueIn(cycleValues(n), quantity));
        }
    }
    QCOMPARE(history.firstMsecs(), kStart.toMSecsSinceEpoch());
    QCOMPARE(history.lastMsecs(),
             SupplyCycle::stepTime(starts.last(), stepOf(Quantity::Channel)).toMSecsSinceEpoch());
    QCOMPARE(history.dropped(), 0);
}

void TestReadingHistory::identityAndInvalidReadingsAreNotKept() {
    SupplyModel model;
    ReadingHistory history;
    history.follow(model);
    QSignalSpy added(&history, &ReadingHistory::pointAdded);
    model.setText(Quantity::Version, QStringLiteral("V1.2"), kStart);
    model.setText(Quantity::Identification, QStringLiteral("PSU"), kStart);
    model.setNumber(Quantity::MeasuredVoltage, 3.0, QDateTime());
    model.setNumber(Quantity::MeasuredVoltage, qInf(), kStart);
    model.setNumber(Quantity::MeasuredCurrent, qQNaN(), kStart);
    QVERIFY(history.isEmpty());
    QCOMPARE(added.count(), 0);
}

void TestReadingHistory::linkEventsAreKeptWithTheirTexts() {
    SupplyModel model;
    ReadingHistory history;
    history.follow(model);
    SupplyCycle cycle(model, kStart);
    cycle.event(LinkEvent::PortOpened);
    cycle.event(LinkEvent::PollingStarted);
    cycle.play({});
    cycle.event(LinkEvent::PortLost);
    QStringList texts;
    for (const auto& event : history.events())
        texts << event.text;
    QCOMPARE(texts, (QStringList{"port opened", "polling started", "port lost"}));
    QCOMPARE(history.events().back().msecs, kStart.addMSecs(1000 + 9000).toMSecsSinceEpoch());
}

void TestReadingHistory::dropsWhatIsOlderThanADay_data() {
    QTest::addColumn<qint64>("everyMs");
    QTest::addColumn<qint64>("forMs");
    // One reading a cycle, as polling brings it; and one every few seconds.
    QTest::newRow("9 s for 25 h") << qint64(9000) << 25 * HourMs;
    QTest::newRow("4 s for 48 h") << qint64(4000) << 48 * HourMs;
    QTest::newRow("9 s for 23 h") << qint64(9000) << 23 * HourMs;
}

void TestReadingHistory::dropsWhatIsOlderThanADay() {
    QFETCH(qint64, everyMs);
    QFETCH(qint64, forMs);
    ReadingHistory history;
    const qint64 t0 = kStart.toMSecsSinceEpoch();
    qint64 added = 0;
    for (qint64 t = 0; t <= forMs; t += everyMs, ++added)
        history.addPoint(Quantity::MeasuredVoltage, t0 + t, double(t));
    const auto& points = history.points(Quantity::MeasuredVoltage);
    const qint64 last = points.back().msecs;
    QCOMPARE(last, t0 + (added - 1) * everyMs);
    // Everything within the day before the newest is there, nothing older.
    const qint64 expected = std::min(added, DayMs / everyMs + 1);
    QCOMPARE(qint64(points.size()), expected);
    QVERIFY(points.front().msecs >= last - DayMs);
    QVERIFY(points.front().msecs - everyMs < last - DayMs || points.front().msecs == t0);
    QCOMPARE(history.dropped(), added - expected);
    for (size_t k = 1; k < points.size(); ++k)
        QCOMPARE(points[k].msecs - points[k - 1].msecs, everyMs);
}

void TestReadingHistory::eachQuantityKeepsItsOwnDay() {
    ReadingHistory history;
    const qint64 t0 = kStart.toMSecsSinceEpoch();
    history.addPoint(Quantity::MeasuredCurrent, t0, 0.5);
    history.addPoint(Quantity::MeasuredVoltage, t0, 1.0);
    history.addEvent(t0, QStringLiteral("port opened"));
    history.addPoint(Quantity::MeasuredVoltage, t0 + 2 * DayMs, 2.0);
    // The current was read once, two days before: it is all there is of it.
    QCOMPARE(history.points(Quantity::MeasuredCurrent).size(), size_t(1));
    QCOMPARE(history.points(Quantity::MeasuredVoltage).size(), size_t(1));
    QCOMPARE(history.points(Quantity::MeasuredVoltage).front().value, 2.0);
    // An event outlives its day only as long as nothing newer came.
    QVERIFY(history.events().empty());
}

void TestReadingHistory::countIsBounded() {
    const ReadingHistory::Limits limits{DayMs, 1000, 10};
    ReadingHistory history(limits);
    const qint64 t0 = kStart.toMSecsSinceEpoch();
    for (int k = 0; k < 2500; ++k)
        history.addPoint(Quantity::SetCurrent, t0 + k, k);
    for (int k = 0; k < 25; ++k)
        history.addEvent(t0 + k, QStringLiteral("port opened"));
    const auto& points = history.points(Quantity::SetCurrent);
    QCOMPARE(points.size(), size_t(1000));
    QCOMPARE(points.front().value, 1500.0);
    QCOMPARE(points.back().value, 2499.0);
    QCOMPARE(history.events().size(), size_t(10));
    QCOMPARE(history.events().front().msecs, t0 + 15);
    QCOMPARE(history.dropped(), 1500 + 15);
}

void TestReadingHistory::aDayAtTheFastestRateStaysUnderFiveMegabytes() {
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("the sanitizer's allocator keeps its own books");
#else
    // Every quantity read at every tick for a day and a half: far more than
    // polling brings, so that only the count bound holds the size.
    const auto heap = [] { return qint64(mallinfo2().uordblks); };
    const qint64 before = heap();
    {
        ReadingHistory history;
        const qint64 t0 = kStart.toMSecsSinceEpoch();
        for (qint64 t = 0; t < 36 * HourMs; t += SupplyCycle::StepMs) {
            for (int q = 0; q < ReadingHistory::QuantityCount; ++q)
                history.addPoint(Quantity(q), t0 + t, double(t));
            if (t % (60 * 1000) == 0)
                history.addEvent(t0 + t, QStringLiteral("polling stopped"));
        }
        const qint64 used = heap() - before;
        qInfo("history of 36 h at one reading per 500 ms: %.2f MB", used / 1e6);
        QVERIFY2(used < 5'000'000, qPrintable(QString::number(used)));
        QVERIFY(used > 0);
    }
#endif
}

void TestReadingHistory::aReadingFromAClockSetBackGoesInTimeOrder() {
    ReadingHistory history;
    const qint64 t0 = kStart.toMSecsSinceEpoch();
    for (qint64 t : {0, 9000, 18000, 4000, 18000})
        history.addPoint(Quantity::MeasuredVoltage, t0 + t, double(t) + 0.5);
    QList<qint64> times;
    for (const auto& point : history.points(Quantity::MeasuredVoltage))
        times << point.msecs - t0;
    QCOMPARE(times, (QList<qint64>{0, 4000, 9000, 18000, 18000}));
    QCOMPARE(history.points(Quantity::MeasuredVoltage)[1].value, 4000.5);
}

void TestReadingHistory::aClockSetForwardOrBackKeepsEverything_data() {
    QTest::addColumn<qint64>("setBy");
    QTest::newRow("two days forward") << 2 * DayMs;
    QTest::newRow("an hour forward") << HourMs;
    QTest::newRow("an hour back") << -HourMs;
    QTest::newRow("two days back") << -2 * DayMs;
    // Within what a busy event loop may part the two clocks by.
    QTest::newRow("a moment back") << qint64(-300);
}

void TestReadingHistory::aClockSetForwardOrBackKeepsEverything() {
    QFETCH(qint64, setBy);
    SupplyModel model;
    ReadingHistory history;
    // The steady clock is the wall clock's time less the setting: it reads
    // the time of the reading about to be kept.
    qint64 wall = 0;
    qint64 setting = 0;
    connect(&model, &SupplyModel::changed, &history,
            [&wall](Quantity, const QVariant&, const QDateTime& time) {
                wall = time.toMSecsSinceEpoch();
            });
    history.follow(model, [&] { return wall - setting; });
    SupplyCycle cycle(model, kStart);
    const auto event = [&](LinkEvent e) {
        wall = cycle.next().toMSecsSinceEpoch();
        history.addLinkEvent(e, cycle.next());
    };
    // Twenty-three hours of cycles: a day forward would have dropped all.
    for (int n = 0; n < 23 * 400; ++n)
        cycle.play(cycleValues(n % 3));
    const size_t kept = history.points(Quantity::MeasuredVoltage).size();
    const qint64 lastBefore = history.lastMsecs();
    event(LinkEvent::PollingStopped);
    cycle.skip(setBy);
    setting = setBy;
    event(LinkEvent::PollingStarted);
    cycle.play(cycleValues(1));

    QCOMPARE(history.dropped(), 0);
    const auto& points = history.points(Quantity::MeasuredVoltage);
    QCOMPARE(points.size(), kept + 1);
    QCOMPARE(points.back().msecs, history.lastMsecs() - 8 * SupplyCycle::StepMs);
    // In the order read, the newest on the clock as it is now; the time
    // between readings is the time that passed (a setting too small to
    // tell from a busy moment is taken as it comes).
    for (size_t k = 1; k < points.size(); ++k)
        QVERIFY(points[k].msecs > points[k - 1].msecs);
    const qint64 moved = std::abs(setBy) > 1000 ? setBy : 0;
    QCOMPARE(points[points.size() - 1].msecs - points[points.size() - 2].msecs,
             SupplyCycle::CycleMs + setBy - moved);
    QCOMPARE(history.events().size(), size_t(2));
    QCOMPARE(history.events().back().msecs - history.events().front().msecs,
             std::abs(setBy - moved));
    QCOMPARE(history.firstMsecs(), kStart.toMSecsSinceEpoch() + moved);
    QVERIFY(history.events()[0].msecs > lastBefore + moved);
}

QTEST_GUILESS_MAIN(TestReadingHistory)
#include "test_reading_history.moc"
