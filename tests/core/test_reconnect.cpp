#include "serial/Reconnector.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

namespace {

constexpr int kFastMs = 40;

// A reopening that fails a given number of times, then succeeds.
struct FakeLine {
    int failures = 0;
    int attempts = 0;
    bool operator()() { return ++attempts > failures; }
};

} // namespace

class TestReconnect : public QObject {
    Q_OBJECT
private slots:
    void switchedOffItNeverTries();
    void triesEveryIntervalUntilReopened();
    void firstTryWaitsOneInterval();
    void stoppingOrSwitchingOffEndsTheTrying();
    void startingAgainWhileTryingKeepsTheRhythm();
};

void TestReconnect::switchedOffItNeverTries() {
    FakeLine line;
    Reconnector reconnector([&line] { return line(); }, kFastMs);
    reconnector.start();
    QVERIFY(!reconnector.isTrying());
    QTest::qWait(kFastMs * 4);
    QCOMPARE(line.attempts, 0);
}

void TestReconnect::triesEveryIntervalUntilReopened() {
    FakeLine line{2};
    Reconnector reconnector([&line] { return line(); }, kFastMs);
    QSignalSpy reopened(&reconnector, &Reconnector::reopened);
    reconnector.setEnabled(true);
    reconnector.start();
    QVERIFY(reconnector.isTrying());
    QTRY_COMPARE(reopened.size(), 1);
    QCOMPARE(line.attempts, 3);
    QVERIFY(!reconnector.isTrying());
    QTest::qWait(kFastMs * 4);
    QCOMPARE(line.attempts, 3);
    QCOMPARE(reopened.size(), 1);
}

void TestReconnect::firstTryWaitsOneInterval() {
    FakeLine line;
    const int interval = 300;
    Reconnector reconnector([&line] { return line(); }, interval);
    reconnector.setEnabled(true);
    QElapsedTimer clock;
    clock.start();
    reconnector.start();
    QCOMPARE(line.attempts, 0);
    QTRY_COMPARE(line.attempts, 1);
    QVERIFY2(clock.elapsed() >= interval - 10, qPrintable(QString::number(clock.elapsed())));
}

void TestReconnect::stoppingOrSwitchingOffEndsTheTrying() {
    FakeLine line{1000};
    Reconnector reconnector([&line] { return line(); }, kFastMs);
    reconnector.setEnabled(true);
    reconnector.start();
    QTRY_VERIFY(line.attempts >= 2);
    reconnector.stop();
    int seen = line.attempts;
    QTest::qWait(kFastMs * 4);
    QCOMPARE(line.attempts, seen);

    reconnector.start();
    QTRY_VERIFY(line.attempts > seen);
    reconnector.setEnabled(false);
    QVERIFY(!reconnector.isTrying());
    seen = line.attempts;
    QTest::qWait(kFastMs * 4);
    QCOMPARE(line.attempts, seen);
    reconnector.start();
    QVERIFY(!reconnector.isTrying());
}

void TestReconnect::startingAgainWhileTryingKeepsTheRhythm() {
    FakeLine line{1000};
    Reconnector reconnector([&line] { return line(); }, kFastMs * 2);
    reconnector.setEnabled(true);
    // A loss reported again and again must not put the next try off.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < kFastMs * 12) {
        reconnector.start();
        QTest::qWait(kFastMs / 2);
    }
    QVERIFY2(line.attempts >= 3, qPrintable(QString::number(line.attempts)));
}

QTEST_GUILESS_MAIN(TestReconnect)
#include "test_reconnect.moc"
