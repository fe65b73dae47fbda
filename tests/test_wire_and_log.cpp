#include "protocol/Commands.h"
#include "support/PanelFixture.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>
#include <QtTest>

class TestWireAndLog : public QObject {
    Q_OBJECT
private slots:
    void commandLeavesAsOneWriteByteForByte();
    void vocabularyIsExact();
    void lineFormats();
    void receiveCounterCountsEveryByte();
    void transmitCounterCountsWrites();
    void resetAndClearButtons();
    void logEmptiedOnlyByCountedReply();
    void countThresholdEmptiesLog();
    void logStaysBounded();
    void logShowsControlCharactersHarmlessly();
    void widgetFollowsTheLog();
    void aLongBurstStaysWholeWhenScrolledBack();
};

void TestWireAndLog::commandLeavesAsOneWriteByteForByte() {
    PanelFixture panel;
    panel.open();
    panel.find<QAbstractButton>("OutPutButton")->click();
    QCOMPARE(panel.comm->writes.size(), 1);
    QCOMPARE(panel.comm->writes[0], QByteArray::fromHex("4F5554502031 4352"));
}

void TestWireAndLog::vocabularyIsExact() {
    using namespace Commands;
    QStringList polling;
    for (int step = 1; step <= 9; ++step)
        polling.append(pollingQuery(PollingStep(step)));
    QCOMPARE(polling, QStringList({"MEASure:SCALar:VOLTage:DC?CR", "MEASure:SCALar:CURRent:DC?CR",
                                   "VOLTage:LEVel?CR", "CURRent:LEVel?CR",
                                   "VOLTage:PROTection:LEVel?CR", "CURRent:PROTection:LEVel?CR",
                                   "OUTPut:STATe?CR", "SOUR:MODE?CR", "APPL?CR"}));
    for (int step : {0, 10, 16, 17, 18})
        QVERIFY(pollingQuery(PollingStep(step)).isEmpty());
    QCOMPARE(withArgument(ModePrefix, "0"), QStringLiteral("SOUR:MODE 0CR"));
    QCOMPARE(withArgument(ChannelPrefix, "1"), QStringLiteral("APPL 1CR"));
    QCOMPARE(withArgument(VoltageLevelPrefix, "12.5"), QStringLiteral("VOLTage:LEVel 12.5CR"));
    QCOMPARE(VersionQuery + End, QStringLiteral("SYST:VERS?CR"));
    QCOMPARE(IdentityQuery + End, QStringLiteral("*IDN?CR"));
    QCOMPARE(ClearAlarm, QStringLiteral("OUTPut:PROTection:CLEarCR"));
}

void TestWireAndLog::lineFormats() {
    PanelFixture panel;
    panel.open();
    panel.atStep(8);
    panel.window->polling().SysTickTimer_Timer(); // step 9: a polling line
    panel.find<QAbstractButton>("Op2")->click();  // a command line
    panel.link.state().step = PollingStep(1);
    panel.comm->receive("+1.23456E+01\r\n"); // a reply line
    QCOMPARE(panel.window->trafficLog().text(),
             QStringLiteral("TX>>:APPL?CR\nTX>>:APPL 2CR\r\n\r\nRX<<:+1.23456E+01\r\n"));
}

void TestWireAndLog::receiveCounterCountsEveryByte() {
    PanelFixture panel;
    panel.open();
    panel.atStep(1);
    panel.comm->receive("+1.23456E+01\r\n");
    QCOMPARE(panel.link.trafficLog().rxCount(), qint64(14));
    QCOMPARE(panel.text("TxtRXCount"), QStringLiteral("RX:14"));
    // A reply split in two reads counts both pieces.
    panel.comm->receive("+1.2345");
    QCOMPARE(panel.text("TxtRXCount"), QStringLiteral("RX:21"));
    panel.comm->receive("6E+01\r\n");
    QCOMPARE(panel.text("TxtRXCount"), QStringLiteral("RX:28"));
    // Replies that decode nothing count too.
    panel.link.state().step = PollingStep(12);
    panel.comm->receive("1\r\n");
    QCOMPARE(panel.link.trafficLog().rxCount(), qint64(31));
}

void TestWireAndLog::transmitCounterCountsWrites() {
    PanelFixture panel;
    panel.open();
    panel.find<QAbstractButton>("OutPutButton")->click();
    QCOMPARE(panel.text("TxtTXCount"), QStringLiteral("TX:8"));
    panel.find<QAbstractButton>("ClrAlarmAmd")->click();
    QCOMPARE(panel.text("TxtTXCount"), QStringLiteral("TX:33"));
    // A closed port sends, and counts, nothing.
    panel.find<QAbstractButton>("CmdSwitch")->click();
    panel.find<QAbstractButton>("ClrAlarmAmd")->click();
    QCOMPARE(panel.text("TxtTXCount"), QStringLiteral("TX:33"));
}

void TestWireAndLog::resetAndClearButtons() {
    PanelFixture panel;
    panel.open();
    panel.atStep(1);
    panel.find<QAbstractButton>("OP1")->click(); // already selected: nothing
    panel.find<QAbstractButton>("Op2")->click();
    panel.comm->receive("+1.23456E+01\r\n");
    const QString log = panel.window->trafficLog().text();
    QVERIFY(!log.isEmpty());

    panel.find<QAbstractButton>("CmdClearCounter")->click();
    QCOMPARE(panel.text("TxtRXCount"), QStringLiteral("RX:0"));
    QCOMPARE(panel.text("TxtTXCount"), QStringLiteral("TX:0"));
    QCOMPARE(panel.link.trafficLog().rxCount(), qint64(0));
    QCOMPARE(panel.window->trafficLog().text(), log);

    panel.comm->receive("+1.0E+01\r\n");
    panel.find<QAbstractButton>("Command1")->click();
    QVERIFY(panel.window->trafficLog().text().isEmpty());
    QVERIFY(panel.find<QPlainTextEdit>("TxtReceive")->toPlainText().isEmpty());
    QCOMPARE(panel.text("TxtRXCount"), QStringLiteral("RX:10"));
}

void TestWireAndLog::logEmptiedOnlyByCountedReply() {
    PanelFixture panel;
    panel.open();
    panel.atStep(3);
    // Commands alone grow the log past 4000 characters and never empty it.
    while (panel.window->trafficLog().text().size() <= 4000) {
        panel.find<QAbstractButton>("Op2")->click();
        panel.find<QAbstractButton>("OP1")->click();
    }
    QVERIFY(panel.window->trafficLog().text().size() > 4000);
    // A number reply that does not begin with a sign is logged, not counted.
    panel.comm->receive("X1.23456E+01\r\n");
    QVERIFY(panel.window->trafficLog().text().endsWith("RX<<:X1.23456E+01\r\n"));
    QVERIFY(panel.window->trafficLog().text().size() > 4000);
    // A counted one empties the log after its own line was appended.
    panel.comm->receive("+1.23456E+01\r\n");
    QVERIFY(panel.window->trafficLog().text().isEmpty());
    QCOMPARE(panel.text("CVLab"), QStringLiteral("12.3456"));
}

void TestWireAndLog::countThresholdEmptiesLog() {
    PanelFixture panel;
    panel.open();
    panel.atStep(1);
    panel.link.trafficLog().countReceived(65534 - 14);
    panel.comm->receive("+1.23456E+01\r\n");
    QCOMPARE(panel.link.trafficLog().rxCount(), qint64(65534));
    QVERIFY(panel.window->trafficLog().text().endsWith("RX<<:+1.23456E+01\r\n"));
    panel.comm->receive("+1.23456E+01\r\n");
    QCOMPARE(panel.link.trafficLog().rxCount(), qint64(65548));
    QVERIFY(panel.window->trafficLog().text().isEmpty());
    // The count goes on growing past the threshold.
    panel.comm->receive("+1.23456E+01\r\n");
    QCOMPARE(panel.text("TxtRXCount"), QStringLiteral("RX:65562"));
}

void TestWireAndLog::logStaysBounded() {
    PanelFixture panel;
    panel.open();
    panel.atStep(10);
    for (int i = 0; i < 6000; ++i)
        panel.tickAnswered();
    const QString& log = panel.window->trafficLog().text();
    QVERIFY(log.size() <= TrafficLog::MaxChars);
    QVERIFY(log.size() > TrafficLog::MaxChars / 2);
    QVERIFY(log.endsWith("TX>>:APPL?CR\n"));
}

void TestWireAndLog::logShowsControlCharactersHarmlessly() {
    LogLines lines;
    QCOMPARE(lines.take(QStringLiteral("TX>>:A\r\nRX<<:\x1b[2J\x07\r\n")),
             QStringLiteral("TX>>:A\nRX<<:␛[2J␇\n"));
    QCOMPARE(lines.take(QString(QChar(0x7f)) + QChar(0x85) + QChar(0xe9)),
             QStringLiteral("␡\uFFFDé"));
}

void TestWireAndLog::widgetFollowsTheLog() {
    PanelFixture panel;
    panel.open();
    panel.atStep(16);
    panel.find<QAbstractButton>("Op2")->click();
    panel.window->polling().SysTickTimer_Timer();
    panel.comm->receive("V1.\x1b"
                        "06\r\n");
    // No empty line between the polling line and its reply.
    const QString expected = QStringLiteral("TX>>:APPL 2CR\nTX>>:\nRX<<:V1.␛06\n");
    // The widget catches up within its interval, in one append.
    auto* view = panel.find<QPlainTextEdit>("TxtReceive");
    QTRY_COMPARE_WITH_TIMEOUT(view->toPlainText(), expected, 2000);
    panel.find<QAbstractButton>("Command1")->click();
    QCOMPARE(view->toPlainText(), QString());
}

void TestWireAndLog::aLongBurstStaysWholeWhenScrolledBack() {
    // Far more lines than the widget keeps drawn glyphs for, in bursts: every
    // line and every byte shows, and the oldest lines draw again when the
    // operator scrolls back to them.
    PanelFixture panel;
    panel.open();
    auto* view = panel.find<QPlainTextEdit>("TxtReceive");
    QString expected;
    int bytes = 0;
    // Short of the length at which the log empties itself.
    for (int burst = 0; burst < 8; ++burst) {
        for (int i = 0; i < 20; ++i) {
            panel.link.state().step = PollingStep(1);
            const QByteArray reply = QStringLiteral("+1.%1E+00\r\n")
                                         .arg(burst * 100 + i, 5, 10, QLatin1Char('0'))
                                         .toLatin1();
            panel.comm->receive(reply);
            bytes += int(reply.size());
            expected += QStringLiteral("\nRX<<:") + QString::fromLatin1(reply.chopped(2)) + u'\n';
        }
        QCOMPARE(panel.text("TxtRXCount"), QStringLiteral("RX:%1").arg(bytes));
    }
    QCOMPARE(view->toPlainText(), expected);
    view->verticalScrollBar()->setValue(0);
    (void)view->viewport()->grab();
    const QTextBlock second = view->document()->firstBlock().next();
    QCOMPARE(second.text(), QStringLiteral("RX<<:+1.00000E+00"));
    QVERIFY(second.layout()->lineCount() > 0);
}

QTEST_MAIN(TestWireAndLog)
#include "test_wire_and_log.moc"
