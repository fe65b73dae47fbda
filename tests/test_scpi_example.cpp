// The PyVISA example from the README, run as a user runs it: against the
// panel with its script server on, and the simulated supply on the real
// serial path, while the panel polls.
#include "support/SimBench.h"

#include <QAction>
#include <QLabel>
#include <QProcess>
#include <QtTest>

class TestScpiExample : public QObject {
    Q_OBJECT
private slots:
    void exampleDrivesTheSupplyWhileThePanelPolls();
};

void TestScpiExample::exampleDrivesTheSupplyWhileThePanelPolls() {
    SimBench bench;
    QVERIFY(bench.ready && bench.open());
    bench.choose("PowerTypeCombVol", "30  V");
    bench.choose("PowerTypeCombCur", "3   A");
    bench.press("SeekCmd");
    RemoteControl& remote = bench.window->remote();
    remote.configure(0, {});
    remote.menuEntry()->trigger();
    QVERIFY(remote.server().isListening());

    QProcess script;
    script.setProcessChannelMode(QProcess::MergedChannels);
    script.start(QStringLiteral(VELMOR_PYTHON),
                 {QStringLiteral(VELMOR_EXAMPLE),
                  QStringLiteral("TCPIP::127.0.0.1::%1::SOCKET").arg(remote.server().serverPort())});
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
    // The panel polled on while the script ran, and took the script's
    // readings as readings.
    QVERIFY(received.contains(QStringLiteral("VOLTage:LEVel?")));
    QTRY_VERIFY(remote.indicator().isHidden());
    QCOMPARE(bench.text("ReadCurrentLab"), QStringLiteral("0.5"));
}

QTEST_MAIN(TestScpiExample)
#include "test_scpi_example.moc"
