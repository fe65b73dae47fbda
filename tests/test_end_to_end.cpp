#include "support/SimBench.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

class TestEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void readOutsShowTheSupply();
    void setpointReachesTheSupply();
    void outputAndModeRoundTrip();
    void identityQueries();
    void vanishingSupply();
    void realTimers();
};

void TestEndToEnd::readOutsShowTheSupply() {
    SimBench bench;
    QVERIFY(bench.ready);
    QVERIFY(bench.open());
    bench.cycles(2);
    QCOMPARE(bench.text("ReadVolLab"), QStringLiteral("0"));
    QCOMPARE(bench.text("ReadCurrentLab"), QStringLiteral("0"));
    QCOMPARE(bench.text("CVLab"), QStringLiteral("5"));
    QCOMPARE(bench.text("CCLab"), QStringLiteral("1"));
    QCOMPARE(bench.text("OVPLab"), QStringLiteral("33"));
    QCOMPARE(bench.text("OCPLab"), QStringLiteral("3.3"));
    QCOMPARE(bench.text("OutPutButton"), QStringLiteral("开"));
    QVERIFY(bench.window->findChild<QRadioButton*>("INDcmd")->isChecked());
    QVERIFY(bench.window->findChild<QRadioButton*>("OP1")->isChecked());
    // Polling alone sends queries only.
    for (const QString& command : bench.commandsReceived())
        QVERIFY2(command.contains('?'), qPrintable(command));
}

void TestEndToEnd::setpointReachesTheSupply() {
    SimBench bench;
    QVERIFY(bench.ready && bench.open());
    bench.choose("PowerTypeCombVol", "30  V");
    bench.window->findChild<QLineEdit*>("CVSetText")->setText("12.5");
    bench.press("VOLSetCmd");
    QCOMPARE(int(bench.window->link().state().step), 3);
    bench.cycles(1);
    QCOMPARE(bench.text("CVLab"), QStringLiteral("12.5"));
    QVERIFY(bench.commandsReceived().contains("VOLTage:LEVel 12.5"));
    QCOMPARE(bench.boxes, 0);
}

void TestEndToEnd::outputAndModeRoundTrip() {
    SimBench bench;
    QVERIFY(bench.ready && bench.open());
    bench.choose("PowerTypeCombVol", "30  V");
    bench.choose("PowerTypeCombCur", "3   A");
    bench.press("OutPutButton");
    bench.cycles(1);
    QCOMPARE(bench.text("OutPutButton"), QStringLiteral("关"));
    // 5 V into 10 ohms.
    QCOMPARE(bench.text("ReadVolLab"), QStringLiteral("5"));
    QCOMPARE(bench.text("ReadCurrentLab"), QStringLiteral("0.5"));

    bench.press("SERcmd");
    bench.cycles(1);
    QVERIFY(bench.window->findChild<QRadioButton*>("SERcmd")->isChecked());
    QCOMPARE(int(bench.window->link().decoder().limitsMode()), 2);
    QCOMPARE(bench.text("VOLSetLab"), QStringLiteral("恒压值范围: 0 - 63"));
    QCOMPARE(bench.text("OVPSetLab"), QStringLiteral("过压值范围: 6 - 66"));
    QVERIFY(!bench.window->findChild<QRadioButton*>("OP1")->isEnabled());
    const QStringList received = bench.commandsReceived();
    QVERIFY(received.contains("OUTP 1"));
    QVERIFY(received.contains("SOUR:MODE 2"));
}

void TestEndToEnd::identityQueries() {
    SimBench bench;
    QVERIFY(bench.ready && bench.open());
    bench.window->FrameVersion_DblClick();
    QTRY_COMPARE_WITH_TIMEOUT(bench.text("LabVersion"), QStringLiteral("V1.06"), 2000);
    bench.window->Veries_DblClick();
    QTRY_VERIFY_WITH_TIMEOUT(bench.text("LabSeries").count(',') == 3, 2000);
    QVERIFY(bench.text("LabSeries").size() >= 24);
    // The cycle goes on, and leaves both labels as the queries left them.
    const QString series = bench.text("LabSeries");
    bench.cycles(1);
    QCOMPARE(bench.text("LabVersion"), QStringLiteral("V1.06"));
    QCOMPARE(bench.text("LabSeries"), series);
}

void TestEndToEnd::vanishingSupply() {
    SimBench bench({"--vanish-after", "1"});
    QVERIFY(bench.ready && bench.open());
    bench.press("SeekCmd");
    // The supply closes its terminal and removes its link together.
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(bench.folder.path() + "/com200"), 3000);
    QElapsedTimer clock;
    clock.start();
    QTRY_VERIFY_WITH_TIMEOUT(!bench.window->MSComm().PortOpen(), 1000);
    QCOMPARE(bench.text("TxtStatus"), QStringLiteral("STATUS：COM Port Cloced"));
    QCOMPARE(bench.text("msgLab"), QStringLiteral("没有发现此串口或被占用"));
    QCOMPARE(bench.text("CmdSwitch"), QStringLiteral("打开串口"));
    QTRY_COMPARE_WITH_TIMEOUT(bench.text("SeekCmd"), QStringLiteral("开始巡检"), 1000);
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(bench.sim.state() == QProcess::NotRunning || bench.sim.waitForFinished(3000));
    QCOMPARE(bench.sim.exitCode(), 0);
}

void TestEndToEnd::realTimers() {
    SimBench bench;
    QVERIFY(bench.ready && bench.open());
    bench.press("SeekCmd");
    QTRY_COMPARE_WITH_TIMEOUT(bench.text("CVLab"), QStringLiteral("5"), 4000);
    QCOMPARE(bench.text("LblNewDate") == QStringLiteral("显示日前"), false);
    bench.press("SeekCmd");
    QCOMPARE(bench.text("SeekCmd"), QStringLiteral("开始巡检"));
}

QTEST_MAIN(TestEndToEnd)
#include "test_end_to_end.moc"
