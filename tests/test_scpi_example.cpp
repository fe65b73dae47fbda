// The PyVISA example from the README, run as a user runs it: against the
// panel with its script server on, and the simulated supply on the real
// serial path, while the panel polls.
#include "support/SimBench.h"

#include <QAction>
#include <QLabel>
#include <QProcess>
#include <QTcpServer>
#include <QtTest>

class TestScpiExample : public QObject {
    Q_OBJECT
private slots:
    void exampleDrivesTheSupplyWhileThePanelPolls();
    void aPortInUseIsToldOnTheMessageLine();
};

void TestScpiExample::exampleDrivesTheSupplyWhileThePanelPolls() {
    // Paced as a 9600-baud line, so that polling and the script share it.
    SimBench bench({QStringLiteral("--line-rate"), QStringLiteral("9600")});
    QVERIFY(bench.ready && bench.open());
    bench.choose("PowerTypeCombVol", "30  V");
    bench.choose("PowerTypeCombCur", "3   A");
    bench.press("SeekCmd");
    // Every current reading, the script's and the polling cycle's.
    QList<double> currents;
    QObject::connect(&bench.window->link().model(), &SupplyModel::changed, bench.window.get(),
                     [&currents](Quantity quantity, const QVariant& value) {
                         if (quantity == Quantity::MeasuredCurrent)
                             currents.append(value.toDouble());
                     });
    RemoteControl& remote = bench.window->remote();
    remote.configure(0, {});
    remote.menuEntry()->trigger();
    QVERIFY(remote.server() && remote.server()->isScpiListening());

    QProcess script;
    script.setProcessChannelMode(QProcess::MergedChannels);
    script.start(QStringLiteral(VELMOR_PYTHON),
                 {QStringLiteral(VELMOR_EXAMPLE),
                  QStringLiteral("TCPIP::127.0.0.1::%1::SOCKET").arg(remote.server()->scpiPort())});
    QVERIFY(script.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(remote.indicator().text(), QStringLiteral("远程 1"), 20000);
    QVERIFY(remote.indicator().isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(script.state(), QProcess::NotRunning, 60000);
    const QString output = QString::fromUtf8(script.readAll());
    QVERIFY2(script.exitStatus() == QProcess::NormalExit && script.exitCode() == 0,
             qPrintable(output));
    QVERIFY2(output.contains(QStringLiteral("VELMOR-SIM")), qPrintable(output));
    QCOMPARE(output.count(QStringLiteral(" V ")), 10);
    // With the output on at 5 V into the simulator's 10 ohm load.
    QVERIFY2(output.contains(QStringLiteral("5.0000 V   0.5000 A")), qPrintable(output));

    const QStringList received = bench.commandsReceived();
    QVERIFY(received.contains(QStringLiteral("VOLTage:LEVel 5")));
    const auto on = received.indexOf(QStringLiteral("OUTP 1"));
    QVERIFY(on >= 0 && received.indexOf(QStringLiteral("OUTP 0"), on) > on);
    // The script's readings are readings (polling reads the current once a
    // cycle, 9 s), and the panel polls on.
    QVERIFY2(currents.count(0.5) >= 10, qPrintable(QString::number(currents.size())));
    QTRY_VERIFY_WITH_TIMEOUT(bench.commandsReceived().contains(QStringLiteral("VOLTage:LEVel?")),
                             5000);
    QTRY_VERIFY(remote.indicator().isHidden());
}

void TestScpiExample::aPortInUseIsToldOnTheMessageLine() {
    QTcpServer other;
    QVERIFY(other.listen(QHostAddress::LocalHost));
    SimBench bench;
    RemoteControl& remote = bench.window->remote();
    remote.configure(other.serverPort(), {});
    remote.menuEntry()->trigger();
    QVERIFY(!remote.server()->isScpiListening());
    QVERIFY(!remote.menuEntry()->isChecked());
    QVERIFY2(bench.text("msgLab").startsWith(QStringLiteral("远程控制无法启动：")),
             qPrintable(bench.text("msgLab")));
}

QTEST_MAIN(TestScpiExample)
#include "test_scpi_example.moc"
