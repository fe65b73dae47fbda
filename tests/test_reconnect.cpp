#include "record/CsvRecorder.h"
#include "serial/Reconnector.h"
#include "supply/SupplyModel.h"
#include "support/RecordedCsv.h"
#include "support/SimBench.h"

#include <QAction>
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
    void reopensTheSimulatedSupplyAfterItReturns();
    void launchKeepsTryingWithoutABox();
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

void TestReconnect::reopensTheSimulatedSupplyAfterItReturns() {
    // Pulled out one second in, plugged in again three seconds later: the
    // first try (two seconds after the loss) fails, the second succeeds.
    SimBench bench({"--vanish-after", "1", "--return-after", "3"});
    QVERIFY(bench.ready);
    OperatorTools& tools = bench.window->tools();
    tools.menu().autoReconnect()->setChecked(true);
    QVERIFY(bench.open());
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("reconnect.csv"));
    QVERIFY(tools.recorder().start(file, CsvRecorder::Existing::Refuse));
    bench.press("SeekCmd");
    const SerialControl& comm = bench.window->MSComm();
    const PollingCycle& polling = bench.window->polling();

    QTRY_VERIFY_WITH_TIMEOUT(!comm.PortOpen(), 5000);
    QVERIFY(tools.reconnector().isTrying());
    QCOMPARE(bench.text("TxtStatus"), QStringLiteral("STATUS：COM Port Cloced"));
    QTRY_VERIFY_WITH_TIMEOUT(comm.PortOpen(), 10000);
    QCOMPARE(comm.CommPort(), 200);
    QCOMPARE(bench.text("TxtStatus"), QStringLiteral("STATUS：COM200 OPEND，9600,N,8,1"));
    QCOMPARE(bench.text("CmdSwitch"), QStringLiteral("关闭串口"));
    // Polling takes up again and the readings resume.
    QVERIFY(polling.isPolling());
    const qint64 received = bench.window->trafficLog().rxCount();
    QTRY_VERIFY_WITH_TIMEOUT(bench.window->trafficLog().rxCount() > received, 3000);
    QCOMPARE(bench.boxes, 0);

    tools.recorder().stop();
    QStringList events;
    for (const QString& line : RecordedCsv::lines(file).mid(1)) {
        QVERIFY2(RecordedCsv::problem(line).isEmpty(), qPrintable(line));
        const QString event = RecordedCsv::fields(line).last();
        if (!event.isEmpty())
            events.append(event);
    }
    QCOMPARE(events, QStringList({"recording started COM200 9600,N,8,1", "polling started",
                                  "port lost", "polling stopped", "port reopened",
                                  "polling started", "recording stopped"}));
}

void TestReconnect::launchKeepsTryingWithoutABox() {
    SimBench bench;
    QVERIFY(bench.ready);
    bench.stopSim();
    LaunchOptions options;
    options.port = QStringLiteral("COM200");
    options.reconnect = true;
    options.poll = true;
    bench.window->launch(options);
    QVERIFY(!bench.window->MSComm().PortOpen());
    QVERIFY(bench.window->tools().reconnector().isTrying());
    QCOMPARE(bench.boxes, 0);
    QVERIFY(bench.startSim());
    QTRY_VERIFY_WITH_TIMEOUT(bench.window->MSComm().PortOpen(), 5000);
    QVERIFY(bench.window->polling().isPolling());
    QCOMPARE(bench.boxes, 0);
}

QTEST_MAIN(TestReconnect)
#include "test_reconnect.moc"
