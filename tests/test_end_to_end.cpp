#include "app/VelmorMain.h"
#include "serial/QtSerialControl.h"

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

#ifndef VELMOR_SIM_BINARY
#error "the end-to-end tests need the simulated supply"
#endif

namespace {

// The simulated supply on COM200 in a temporary port-link folder, and a
// panel on the real serial control beside it.
struct Bench {
    explicit Bench(const QStringList& simOptions = {}) {
        log = folder.path() + "/commands.log";
        sim.setProgram(QStringLiteral(VELMOR_SIM_BINARY));
        sim.setArguments(
            QStringList{"--com", "200", "--link-dir", folder.path(), "--log", log, "--quiet"} +
            simOptions);
        sim.setStandardInputFile(QProcess::nullDevice());
        sim.start();
        ready = sim.waitForStarted(5000);
        QElapsedTimer clock;
        clock.start();
        while (ready && !QFile::exists(folder.path() + "/com200") && clock.elapsed() < 5000)
            QTest::qWait(10);
        ready = ready && QFile::exists(folder.path() + "/com200");
        window = std::make_unique<VelmorMain>(
            std::make_unique<QtSerialControl>(PortDirectory(folder.path())),
            PortDirectory(folder.path()));
        window->messageBoxes().replaceShower([this](const MessageBoxes::Box&) { ++boxes; });
        window->show();
    }
    ~Bench() {
        window.reset();
        sim.terminate();
        sim.waitForFinished(3000);
    }

    QString text(const char* name) const {
        QObject* object = window->findChild<QObject*>(name);
        if (auto* label = qobject_cast<QLabel*>(object))
            return label->text();
        if (auto* edit = qobject_cast<QLineEdit*>(object))
            return edit->text();
        return qobject_cast<QAbstractButton*>(object)->text();
    }
    void press(const char* name) { window->findChild<QAbstractButton*>(name)->click(); }
    void choose(const char* list, const QString& item) {
        auto* combo = window->findChild<QComboBox*>(list);
        const int index = combo->findText(item);
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }
    bool open() {
        auto* ports = window->findChild<QComboBox*>("CboCom");
        if (ports->findText("COM200") < 0)
            return false;
        ports->setEditText("COM200");
        press("CmdSwitch");
        return window->MSComm().PortOpen();
    }
    // One polling tick, then the wait for the supply's reply to be read.
    void tick() {
        PanelState& state = window->panelState();
        const bool skipped = state.bReadVersion;
        const qint64 before = state.RxByteCount;
        window->polling().SysTickTimer_Timer();
        if (skipped)
            return;
        QElapsedTimer clock;
        clock.start();
        while (state.RxByteCount == before && clock.elapsed() < 1000)
            QTest::qWait(2);
        QTest::qWait(5);
    }
    void cycles(int count) {
        for (int i = 0; i < count * 18; ++i)
            tick();
    }
    QStringList commandsReceived() const {
        QFile file(log);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }

    QTemporaryDir folder;
    QString log;
    QProcess sim;
    bool ready = false;
    std::unique_ptr<VelmorMain> window;
    int boxes = 0;
};

} // namespace

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
    Bench bench;
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
    Bench bench;
    QVERIFY(bench.ready && bench.open());
    bench.choose("PowerTypeCombVol", "30  V");
    bench.window->findChild<QLineEdit*>("CVSetText")->setText("12.5");
    bench.press("VOLSetCmd");
    QCOMPARE(bench.window->panelState().myTimer, qint16(3));
    bench.cycles(1);
    QCOMPARE(bench.text("CVLab"), QStringLiteral("12.5"));
    QVERIFY(bench.commandsReceived().contains("VOLTage:LEVel 12.5"));
    QCOMPARE(bench.boxes, 0);
}

void TestEndToEnd::outputAndModeRoundTrip() {
    Bench bench;
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
    QCOMPARE(bench.window->panelState().PowerModeBack, qint16(2));
    QCOMPARE(bench.text("VOLSetLab"), QStringLiteral("恒压值范围: 0 - 63"));
    QCOMPARE(bench.text("OVPSetLab"), QStringLiteral("过压值范围: 6 - 66"));
    QVERIFY(!bench.window->findChild<QRadioButton*>("OP1")->isEnabled());
    const QStringList received = bench.commandsReceived();
    QVERIFY(received.contains("OUTP 1"));
    QVERIFY(received.contains("SOUR:MODE 2"));
}

void TestEndToEnd::identityQueries() {
    Bench bench;
    QVERIFY(bench.ready && bench.open());
    bench.window->identity().FrameVersion_DblClick();
    QTRY_COMPARE_WITH_TIMEOUT(bench.text("LabVersion"), QStringLiteral("V1.06"), 2000);
    bench.window->identity().Veries_DblClick();
    QTRY_VERIFY_WITH_TIMEOUT(bench.text("LabSeries").count(',') == 3, 2000);
    QVERIFY(bench.text("LabSeries").size() >= 24);
    // The cycle goes on, and leaves both labels as the queries left them.
    const QString series = bench.text("LabSeries");
    bench.cycles(1);
    QCOMPARE(bench.text("LabVersion"), QStringLiteral("V1.06"));
    QCOMPARE(bench.text("LabSeries"), series);
}

void TestEndToEnd::vanishingSupply() {
    Bench bench({"--vanish-after", "1"});
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
    Bench bench;
    QVERIFY(bench.ready && bench.open());
    bench.press("SeekCmd");
    QTRY_COMPARE_WITH_TIMEOUT(bench.text("CVLab"), QStringLiteral("5"), 4000);
    QCOMPARE(bench.text("LblNewDate") == QStringLiteral("显示日前"), false);
    bench.press("SeekCmd");
    QCOMPARE(bench.text("SeekCmd"), QStringLiteral("开始巡检"));
}

QTEST_MAIN(TestEndToEnd)
#include "test_end_to_end.moc"
