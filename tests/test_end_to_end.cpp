#include "support/RecordedCsv.h"
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
    void supplyVanishesWhileABoxIsOpen();
    void realTimers();
    void recordingAgreesWithTheReadOuts();
    void launchOnADevicePath();
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
    QCOMPARE(int(bench.window->link().rating().followedMode()), 2);
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

void TestEndToEnd::supplyVanishesWhileABoxIsOpen() {
    SimBench bench({"--vanish-after", "1"});
    QVERIFY(bench.ready && bench.open());
    bench.press("SeekCmd");
    // The box waits in its own event loop, as a modal box does, until the
    // supply has gone.
    bench.window->messageBoxes().replaceShower([&](const MessageBoxes::Box&) {
        ++bench.boxes;
        QTRY_VERIFY_WITH_TIMEOUT(!bench.window->MSComm().PortOpen(), 5000);
    });
    bench.choose("PowerTypeCombVol", "30  V");
    bench.window->findChild<QLineEdit*>("CVSetText")->setText("100");
    bench.press("VOLSetCmd");
    QCOMPARE(bench.text("TxtStatus"), QStringLiteral("STATUS：COM Port Cloced"));
    QCOMPARE(bench.text("CmdSwitch"), QStringLiteral("打开串口"));
    // Nothing goes on trying: no write and no other box over three polling periods.
    const qint64 written = bench.window->trafficLog().txCount();
    QTest::qWait(1500);
    QCOMPARE(bench.window->trafficLog().txCount(), written);
    QCOMPARE(bench.boxes, 1);
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

void TestEndToEnd::recordingAgreesWithTheReadOuts() {
    SimBench bench;
    QVERIFY(bench.ready && bench.open());
    bench.choose("PowerTypeCombVol", "30  V");
    bench.window->findChild<QLineEdit*>("CVSetText")->setText("7.25");
    bench.press("VOLSetCmd");
    bench.press("OutPutButton");
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("run.csv"));
    CsvRecorder& recorder = bench.window->controller().recorder();
    QVERIFY(recorder.start(file, CsvRecorder::Existing::Refuse));
    bench.cycles(2);
    recorder.stop();

    const QStringList lines = RecordedCsv::lines(file);
    QVERIFY(lines.size() > 18);
    // The last reading row holds the latest of every column: what the
    // read-outs show.
    QString last;
    for (const QString& line : lines.mid(1)) {
        QVERIFY2(RecordedCsv::problem(line).isEmpty(), qPrintable(line));
        if (!RecordedCsv::fields(line).at(RecordedCsv::column("reading")).isEmpty())
            last = line;
    }
    const QStringList row = RecordedCsv::fields(last);
    const QPair<const char*, const char*> readOuts[] = {{"measured_voltage_V", "ReadVolLab"},
                                                        {"measured_current_A", "ReadCurrentLab"},
                                                        {"set_voltage_V", "CVLab"},
                                                        {"set_current_A", "CCLab"},
                                                        {"ovp_V", "OVPLab"},
                                                        {"ocp_A", "OCPLab"}};
    for (const auto& [columnName, label] : readOuts) {
        const QString recorded = row.at(RecordedCsv::column(columnName));
        QVERIFY2(!recorded.isEmpty(), columnName);
        QCOMPARE(recorded.toDouble(), bench.text(label).toDouble());
    }
    QCOMPARE(row.at(RecordedCsv::column("set_voltage_V")), QStringLiteral("7.25"));
    QCOMPARE(row.at(RecordedCsv::column("output")),
             bench.text("OutPutButton") == QStringLiteral("关") ? QStringLiteral("on")
                                                                : QStringLiteral("off"));
    QCOMPARE(row.at(RecordedCsv::column("output")), QStringLiteral("on"));
    QCOMPARE(row.at(RecordedCsv::column("mode")), QStringLiteral("independent"));
    QCOMPARE(row.at(RecordedCsv::column("channel")), QStringLiteral("1"));
}

void TestEndToEnd::launchOnADevicePath() {
    SimBench bench;
    QVERIFY(bench.ready);
    // The device behind the published link, named by its own path.
    const QString device =
        QFileInfo(bench.folder.filePath(QStringLiteral("com200"))).symLinkTarget();
    QVERIFY(device.startsWith(QStringLiteral("/dev/")));
    LaunchOptions options;
    options.port = device;
    options.settings = LaunchOptions::LineTexts{"19200", "ODD", "8", "2"};
    bench.window->launch(options);
    QVERIFY(bench.window->MSComm().PortOpen());
    QCOMPARE(bench.text("TxtStatus"), "STATUS：" + device + " OPEND，19200,O,8,2");
    QCOMPARE(bench.boxes, 0);
    bench.tick();
    QVERIFY(bench.window->trafficLog().rxCount() > 0);
}

QTEST_MAIN(TestEndToEnd)
#include "test_end_to_end.moc"
