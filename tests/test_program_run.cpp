// Programmed runs and watch limits on the panel: against the simulated supply
// through the real serial port, and the run window on a scripted line.
#include "app/ProgramWindow.h"
#include "app/WatchDialog.h"
#include "record/CsvRecorder.h"
#include "support/PanelFixture.h"
#include "support/RecordedCsv.h"
#include "support/SimBench.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QTableWidget>
#include <QtTest>

namespace {

ProgramStep step(double v, double i, double dwell, OutputState out = OutputState::On) {
    return {v, i, dwell, out};
}

// The event column of every event row of a recording.
QStringList events(const QString& path) {
    QStringList out;
    for (const QString& line : RecordedCsv::lines(path).mid(1)) {
        const QString event = RecordedCsv::fields(line).last();
        if (!event.isEmpty())
            out.append(event);
    }
    return out;
}

// Opens COM200, rates the panel 30 V / 3 A and records into `file`.
void prepare(SimBench& bench, const QString& file) {
    QVERIFY(bench.ready);
    QVERIFY(bench.open());
    bench.choose("PowerTypeCombVol", QStringLiteral("30  V"));
    bench.choose("PowerTypeCombCur", QStringLiteral("3   A"));
    QVERIFY(bench.window->controller().recorder().start(file, CsvRecorder::Existing::Refuse));
}

ProgramRun& runOf(VelmorMain& window) {
    return window.tools().programs().automation().run();
}

} // namespace

class TestProgramRun : public QObject {
    Q_OBJECT
private slots:
    void stepsLeaveInOrderAndOnTimeWhilePolling();
    void vanishedSupplyStopsTheRunAndIsSwitchedOffOnReturn();
    void watchAlarmsOnceOnALoadChangeAndSwitchesOff();
    void windowLoadsTheExampleAndRefusesWhatTheLimitsRefuse();
    void chargeExampleEndsOnItsConditionAgainstTheSimulator();
    void windowEditsAndSavesTheUntilColumn();
};

void TestProgramRun::stepsLeaveInOrderAndOnTimeWhilePolling() {
    SimBench bench;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("run.csv"));
    prepare(bench, file);
    bench.press("SeekCmd");
    constexpr int Steps = 8;
    constexpr int DwellMs = 250;
    ProgramRun::Program program;
    for (int k = 0; k < Steps; ++k)
        program.steps.push_back(step(k + 1, 0.5, DwellMs / 1000.0));
    // When each voltage command reached the line, on the run's own clock.
    QList<qint64> sentAt;
    ProgramRun& run = runOf(*bench.window);
    const QObject listening;
    connect(&bench.window->trafficLog(), &TrafficLog::appended, &listening,
            [&](const QString& text) {
                if (text.contains(QLatin1String("VOLTage:LEVel ")))
                    sentAt.append(run.clockMsecs());
            });
    QCOMPARE(run.start(program), ProgramRun::Start::Started);
    QTRY_VERIFY_WITH_TIMEOUT(!run.isActive(), 10000);
    bench.press("SeekCmd");
    bench.window->controller().recorder().stop();

    QCOMPARE(sentAt.size(), Steps);
    for (int k = 0; k < Steps; ++k)
        QVERIFY2(sentAt[k] >= k * DwellMs && sentAt[k] - k * DwellMs <= 100,
                 qPrintable(QStringLiteral("step %1 at %2 ms").arg(k + 1).arg(sentAt[k])));
    const QStringList sets =
        bench.commandsReceived().filter(QRegularExpression("^(VOLTage:LEVel |OUTP)"));
    QStringList expected;
    for (int k = 0; k < Steps; ++k)
        expected << QStringLiteral("VOLTage:LEVel %1").arg(k + 1) << QStringLiteral("OUTP 1");
    QCOMPARE(sets, expected << QStringLiteral("OUTP 0"));
    QStringList runEvents = events(file).filter(QLatin1String("run "));
    QCOMPARE(runEvents.first(), QStringLiteral("run started 8 steps"));
    QCOMPARE(runEvents.at(3), QStringLiteral("run step 3/8"));
    QCOMPARE(runEvents.last(), QStringLiteral("run finished"));
    QCOMPARE(runEvents.size(), Steps + 2);
}

void TestProgramRun::vanishedSupplyStopsTheRunAndIsSwitchedOffOnReturn() {
    SimBench bench({"--vanish-after", "1.5", "--return-after", "1"});
    bench.window->tools().menu().autoReconnect()->setChecked(true);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("lost.csv"));
    prepare(bench, file);
    ProgramRun& run = runOf(*bench.window);
    QCOMPARE(run.start({{step(12, 1, 30)}, 1, {}, false}), ProgramRun::Start::Started);
    QTRY_VERIFY_WITH_TIMEOUT(!bench.window->MSComm().PortOpen(), 5000);
    QVERIFY(!run.isActive());
    QTRY_VERIFY_WITH_TIMEOUT(bench.window->MSComm().PortOpen(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(bench.commandsReceived().value(3), QStringLiteral("OUTP 0"), 3000);
    QCOMPARE(bench.commandsReceived(),
             QStringList({"VOLTage:LEVel 12", "CURRent:LEVel 1", "OUTP 1", "OUTP 0"}));
    bench.window->controller().recorder().stop();
    const QStringList recorded = events(file);
    QCOMPARE(recorded.mid(1, 5), QStringList({"run started 1 steps", "run step 1/1", "port lost",
                                              "run stopped", "port reopened"}));
    QVERIFY2(recorded.last().startsWith(QLatin1String("recording stopped energy ")),
             qPrintable(recorded.last()));
}

void TestProgramRun::watchAlarmsOnceOnALoadChangeAndSwitchesOff() {
    SimBench bench;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("watch.csv"));
    prepare(bench, file);
    WatchDialog* dialog = bench.window->tools().programs().showWatch();
    dialog->findChild<QCheckBox*>("WatchBound3")->setChecked(true);
    dialog->findChild<QLineEdit*>("WatchValue3")->setText(QStringLiteral("1.2"));
    dialog->findChild<QComboBox*>("WatchAction3")->setCurrentIndex(1);
    QVERIFY(dialog->apply());
    // 10 V on the simulator's 10-ohm load draws 1 A; 12.5 V draws 1.25 A.
    bench.window->findChild<QLineEdit*>("CCSetText")->setText(QStringLiteral("3"));
    bench.press("CURSetCmd");
    auto* entry = bench.window->findChild<QLineEdit*>("CVSetText");
    entry->setText(QStringLiteral("10"));
    bench.press("VOLSetCmd");
    bench.press("OutPutButton");
    bench.cycles(1);
    entry->setText(QStringLiteral("12.5"));
    bench.press("VOLSetCmd");
    bench.cycles(3);
    bench.window->controller().recorder().stop();

    const QStringList limits = events(file).filter(QLatin1String("limit "));
    QCOMPARE(limits, QStringList({"limit exceeded measured_current_A 1.25 > 1.2",
                                  "limit cleared measured_current_A 0"}));
    const QStringList commands = bench.commandsReceived();
    QCOMPARE(commands.filter(QRegularExpression("^OUTP [01]$")), QStringList({"OUTP 1", "OUTP 0"}));
    QVERIFY(commands.indexOf(QStringLiteral("OUTP 0")) > commands.indexOf("VOLTage:LEVel 12.5"));
    QVERIFY(bench.text("msgLab").contains(QStringLiteral("1.25")));
    QCOMPARE(bench.window->link().model().output(), std::optional(OutputState::Off));
    QCOMPARE(bench.window->tools().programs().automation().watch().alarmCount(), 0);
}

void TestProgramRun::windowLoadsTheExampleAndRefusesWhatTheLimitsRefuse() {
    PanelFixture panel;
    panel.choose("PowerTypeCombVol", QStringLiteral("10  V"));
    panel.choose("PowerTypeCombCur", QStringLiteral("3   A"));
    QVERIFY(panel.window->tools().menu().menu().actions().contains(
        panel.window->tools().programs().showRunAction()));
    panel.window->tools().programs().showRunAction()->trigger();
    ProgramWindow* window = panel.window->tools().programs().runWindow();
    QVERIFY(window && window->isVisible());
    QVERIFY(window->load(QStringLiteral(VELMOR_EXAMPLES_DIR "/soak-and-ramp.csv")));
    const int rows = window->table().rowCount();
    QVERIFY(rows > 3);

    // 12 V and more are beyond a 10 V rating (10.5 V): marked, nothing sent.
    panel.open();
    panel.takeWritten();
    window->startRun();
    QVERIFY(!runOf(*panel.window).isActive());
    QVERIFY(panel.takeWritten().isEmpty());
    const QColor plain = window->table().item(0, 0)->background().color();
    QVERIFY(window->table().item(1, 0)->background().color() != plain);
    QVERIFY(!window->statusText().isEmpty());

    // Within the rating but with the port closed: the panel's message.
    panel.choose("PowerTypeCombVol", QStringLiteral("30  V"));
    panel.window->CmdSwitch_Click();
    window->startRun();
    QVERIFY(!runOf(*panel.window).isActive());
    QCOMPARE(panel.text("msgLab"), QStringLiteral("串口没有打开，请打开串口"));

    // A bad cell is refused before the run is asked.
    window->table().item(2, 2)->setText(QStringLiteral("-1"));
    QVERIFY(!window->steps());
    window->close();
}

void TestProgramRun::chargeExampleEndsOnItsConditionAgainstTheSimulator() {
    // 14.4 V across 200 ohms draws 72 mA, below a tenth of the 1 A limit.
    SimBench bench({"--load-ohms", "200"});
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("charge.csv"));
    prepare(bench, file);
    bench.press("SeekCmd");
    ProgramWindow* window = bench.window->tools().programs().showRun();
    QVERIFY(window->load(QStringLiteral(VELMOR_EXAMPLES_DIR "/charge-to-taper.csv")));
    ProgramRun& run = runOf(*bench.window);
    window->startRun();
    QVERIFY(run.isActive());
    // A polling cycle is 9 s; the step's dwell is eight hours.
    QTRY_VERIFY_WITH_TIMEOUT(!run.isActive(), 15000);
    bench.press("SeekCmd");
    bench.window->controller().recorder().stop();
    const QStringList runEvents = events(file).filter(QLatin1String("run "));
    QCOMPARE(runEvents,
             QStringList({"run started charge-to-taper.csv", "run step 1/1",
                          "run step 1/1 ended measured_current_A 0.072 < 0.1", "run finished"}));
    QCOMPARE(bench.commandsReceived().filter(QRegularExpression("^OUTP [01]$")),
             QStringList({"OUTP 1", "OUTP 0"}));
    window->close();
}

void TestProgramRun::windowEditsAndSavesTheUntilColumn() {
    PanelFixture panel;
    ProgramWindow* window = panel.window->tools().programs().showRun();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.csv"));
    const auto saved = [&path] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    // A list that came without the column is saved without it.
    QVERIFY(window->load(QStringLiteral(VELMOR_EXAMPLES_DIR "/soak-and-ramp.csv")));
    QVERIFY(window->save(path));
    QVERIFY(saved().startsWith("voltage_V,current_A,dwell_s,output\n"));
    // A condition typed in gives it the column; a bad one is marked, and
    // nothing is saved.
    QTableWidget& table = window->table();
    QCOMPARE(table.columnCount(), 5);
    table.item(0, 4)->setText(QStringLiteral("i < 0.5"));
    QVERIFY(window->save(path));
    QVERIFY(saved().startsWith("voltage_V,current_A,dwell_s,output,until\n5,0.5,10,on,I<0.5\n"));
    table.item(1, 4)->setText(QStringLiteral("I<<1"));
    const QColor plain = table.item(0, 4)->background().color();
    QVERIFY(!window->save(path));
    QVERIFY(table.item(1, 4)->background().color() != plain);
    QVERIFY(!window->statusText().isEmpty());
    QVERIFY(!saved().contains("I<<1"));
    window->close();
}

QTEST_MAIN(TestProgramRun)
#include "test_program_run.moc"
