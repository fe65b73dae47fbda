#include "protocol/Commands.h"
#include "serial/QtSerialControl.h"
#include "support/Pty.h"
#include "support/SimBench.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTimer>
#include <QtTest>

namespace {

// What the simulated supply reports for each read-out once its output is on
// (5 V into 10 ohms), besides the label's text at start.
const QMap<QString, QStringList> kTrueValues = {
    {"ReadVolLab", {"0", "5"}}, {"ReadCurrentLab", {"0.000", "0", "0.5"}},
    {"CVLab", {"0", "5"}},      {"CCLab", {"0.000", "1"}},
    {"OVPLab", {"0", "33"}},    {"OCPLab", {"0.000", "3.3"}},
};

QStringList allowedCommands() {
    QStringList allowed = {"OUTP 1"};
    for (int step = 1; step <= int(PollingStep::Channel); ++step)
        allowed.append(Commands::pollingQuery(PollingStep(step)).chopped(2));
    return allowed;
}

qint64 residentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return 0;
}

} // namespace

class TestLineFaults : public QObject {
    Q_OBJECT
private slots:
    void readOutsStayTrue_data();
    void readOutsStayTrue();
    void floodLeavesPanelResponsive();
    void vanishMidReplyThenReturn();
    void portHeldByAnotherProcess();
};

void TestLineFaults::readOutsStayTrue_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("tickMs");
    QTest::newRow("one byte at a time") << QStringList{"--chunk", "1"} << 0;
    QTest::newRow("seven bytes at a time") << QStringList{"--chunk", "7"} << 0;
    QTest::newRow("thirteen bytes at a time") << QStringList{"--chunk", "13"} << 0;
    QTest::newRow("late past the next tick") << QStringList{"--delay", "250"} << 150;
    QTest::newRow("dropped") << QStringList{"--drop", "0.3", "--seed", "7"} << 0;
    QTest::newRow("garbage") << QStringList{"--garbage", "0.3", "--seed", "11"} << 0;
    QTest::newRow("everything at once")
        << QStringList{"--chunk", "3", "--drop", "0.1", "--garbage", "0.1", "--seed", "5"} << 0;
}

void TestLineFaults::readOutsStayTrue() {
    QFETCH(QStringList, options);
    QFETCH(int, tickMs);
    SimBench bench(options);
    QVERIFY(bench.ready && bench.open());
    bench.press("OutPutButton");
    int shown = 0;
    for (int tick = 0; tick < 5 * 18; ++tick) {
        if (tickMs > 0) {
            bench.window->polling().SysTickTimer_Timer();
            QTest::qWait(tickMs);
        } else {
            bench.tick(300);
        }
        for (auto it = kTrueValues.cbegin(); it != kTrueValues.cend(); ++it) {
            const QString value = bench.text(it.key().toLatin1().constData());
            QVERIFY2(it.value().contains(value),
                     qPrintable(
                         QStringLiteral("%1 shows %2 at tick %3").arg(it.key(), value).arg(tick)));
        }
        shown += bench.text("OVPLab") == "33";
    }
    // The faults cost readings, but readings still get through.
    QVERIFY2(shown > 0, "no reading got through");
    const QStringList allowed = allowedCommands();
    for (const QString& command : bench.commandsReceived())
        QVERIFY2(allowed.contains(command), qPrintable(command));
}

void TestLineFaults::floodLeavesPanelResponsive() {
    SimBench bench({"--flood", "10"});
    QVERIFY(bench.ready && bench.open());
    bench.press("SeekCmd");
    QTest::qWait(1000);
    const qint64 rssBefore = residentKb();
    // A timer of the window's event loop keeps its pace throughout.
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 worstGap = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        worstGap = std::max(worstGap, now - last);
        last = now;
    });
    probe.start(20);
    QTest::qWait(9500);
    probe.stop();
    const qint64 rssAfter = residentKb();
    qInfo("flood: worst timer gap %lld ms, resident %lld kB -> %lld kB", worstGap, rssBefore,
          rssAfter);
    QVERIFY2(worstGap < 500, qPrintable(QString::number(worstGap)));
#if !defined(__SANITIZE_ADDRESS__)
    // (The address sanitizer holds freed memory back in quarantine: resident
    // memory says nothing about growth there.)
    QVERIFY2(rssAfter - rssBefore < 16 * 1024, qPrintable(QString::number(rssAfter - rssBefore)));
#endif
    QVERIFY(bench.window->MSComm().PortOpen());
    // Once the flood ends the cycle reads the supply again.
    QTRY_COMPARE_WITH_TIMEOUT(bench.text("OVPLab"), QStringLiteral("33"), 12000);
    bench.press("SeekCmd");
}

void TestLineFaults::vanishMidReplyThenReturn() {
    QTemporaryDir folder;
    auto pty = std::make_unique<Pty>();
    QVERIFY(pty->linkAs(folder.path(), 7));
    VelmorMain window(std::make_unique<QtSerialControl>(PortDirectory(folder.path())),
                      PortDirectory(folder.path()));
    window.findChild<QComboBox*>("CboCom")->setEditText("COM7");
    window.findChild<QAbstractButton*>("CmdSwitch")->click();
    QVERIFY(window.MSComm().PortOpen());
    window.link().state().step = PollingStep(3);
    pty->write("+1.234");
    QTRY_COMPARE_WITH_TIMEOUT(window.link().decoder().pending(), QStringLiteral("+1.234"), 1000);
    pty->closeMaster();
    QTRY_VERIFY_WITH_TIMEOUT(!window.MSComm().PortOpen(), 1000);
    QCOMPARE(window.findChild<QLabel*>("msgLab")->text(), QStringLiteral("没有发现此串口或被占用"));
    QCOMPARE(window.findChild<QLabel*>("CVLab")->text(), QStringLiteral("0"));
    const double before = processCpuMs();
    QTest::qWait(1000);
    QVERIFY2(processCpuMs() - before < 300, "the closed port still costs CPU");

    // The device comes back under the same link.
    QFile::remove(folder.path() + "/com7");
    pty = std::make_unique<Pty>();
    QVERIFY(pty->linkAs(folder.path(), 7));
    window.findChild<QAbstractButton*>("CmdSwitch")->click();
    QVERIFY(window.MSComm().PortOpen());
    // The next poll drops the half reply left from the vanished device.
    window.link().state().step = PollingStep(2);
    window.polling().SysTickTimer_Timer();
    QCOMPARE(pty->read(1000, 16), QByteArray("VOLTage:LEVel?CR"));
    pty->write("+4.50000E+00\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(window.findChild<QLabel*>("CVLab")->text(), QStringLiteral("4.5"),
                              1000);
}

void TestLineFaults::portHeldByAnotherProcess() {
    SimBench bench;
    QVERIFY(bench.ready);
    QProcess holder;
    holder.start(QStringLiteral(VELMOR_PORT_HOLDER), {bench.folder.path() + "/com200"});
    QVERIFY(holder.waitForReadyRead(5000));
    QCOMPARE(holder.readLine().trimmed(), QByteArray("held"));
    // The status line is empty at start: the closed status below is the
    // failed opening's.
    QCOMPARE(bench.text("TxtStatus"), QString());
    QVERIFY(!bench.open());
    QCOMPARE(bench.boxes, 1);
    QCOMPARE(bench.text("msgLab"), QStringLiteral("没有发现此串口或被占用"));
    QCOMPARE(bench.text("TxtStatus"), QStringLiteral("STATUS：COM Port Cloced"));
    QCOMPARE(bench.text("CmdSwitch"), QStringLiteral("打开串口"));
    holder.closeWriteChannel();
    QVERIFY(holder.waitForFinished(3000));
    // Once the other program lets go, the port opens.
    QVERIFY(bench.open());
}

QTEST_MAIN(TestLineFaults)
#include "test_line_faults.moc"
