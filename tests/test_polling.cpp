#include "support/PanelFixture.h"
#include "support/ScriptedSupply.h"

#include <QLabel>
#include <QTimer>
#include <QtTest>

class TestPolling : public QObject {
    Q_OBJECT
private slots:
    void cycleOfEighteenSteps();
    void firstTickPollsStepOne();
    void identityQuerySkipsOneTick();
    void outputSwitchRunsLastStepThenRestarts();
    void emptyQueryBeforeFirstPoll();
    void closedPortStopsPolling();
    void pollingSwitch();
    void dateAndTimeFollowTheClock();
    void tickDiscardsUndecodedText();
    void twoCyclesAgainstSupply_data();
    void twoCyclesAgainstSupply();
    void realTimerPolls();
};

void TestPolling::cycleOfEighteenSteps() {
    PanelFixture panel;
    panel.open();
    panel.atStep(0);
    const QStringList expected = {"MEASure:SCALar:VOLTage:DC?CR",
                                  "MEASure:SCALar:CURRent:DC?CR",
                                  "VOLTage:LEVel?CR",
                                  "CURRent:LEVel?CR",
                                  "VOLTage:PROTection:LEVel?CR",
                                  "CURRent:PROTection:LEVel?CR",
                                  "OUTPut:STATe?CR",
                                  "SOUR:MODE?CR",
                                  "APPL?CR"};
    QString log;
    for (int tick = 1; tick <= 20; ++tick) {
        panel.tickAnswered();
        const int step = (tick - 1) % 18 + 1;
        QCOMPARE(int(panel.link.state().step), step);
        const QString query = step <= 9 ? expected[step - 1] : QStringLiteral("APPL?CR");
        QCOMPARE(panel.takeWritten(), query);
        log += "TX>>:" + query + "\n";
    }
    // Consecutive polling lines are separated by a lone LF.
    QCOMPARE(panel.window->trafficLog().text(), log);
}

void TestPolling::firstTickPollsStepOne() {
    PanelFixture panel;
    panel.open();
    panel.tickAnswered();
    QCOMPARE(int(panel.link.state().step), 1);
    QCOMPARE(panel.takeWritten(), QStringLiteral("MEASure:SCALar:VOLTage:DC?CR"));
    panel.link.state().step = PollingStep(18);
    panel.window->polling().SysTickTimer_Timer();
    QCOMPARE(int(panel.link.state().step), 1);
    QCOMPARE(panel.takeWritten(), QStringLiteral("MEASure:SCALar:VOLTage:DC?CR"));
}

void TestPolling::identityQuerySkipsOneTick() {
    PanelFixture panel;
    panel.open();
    panel.atStep(5);
    panel.window->Veries_DblClick();
    QCOMPARE(panel.takeWritten(), QStringLiteral("*IDN?CR"));
    QCOMPARE(int(panel.link.state().step), 18);
    QVERIFY(panel.link.state().skipNextTick);
    const QString logBefore = panel.window->trafficLog().text();

    panel.window->polling().SysTickTimer_Timer();
    QVERIFY(!panel.link.state().skipNextTick);
    QCOMPARE(int(panel.link.state().step), 18);
    QCOMPARE(panel.takeWritten(), QString());
    QCOMPARE(panel.window->trafficLog().text(), logBefore);
    QCOMPARE(panel.text("LblNewDate"), QStringLiteral("显示日前"));

    panel.window->polling().SysTickTimer_Timer();
    QCOMPARE(int(panel.link.state().step), 1);
    QCOMPARE(panel.takeWritten(), QStringLiteral("MEASure:SCALar:VOLTage:DC?CR"));
}

void TestPolling::outputSwitchRunsLastStepThenRestarts() {
    PanelFixture panel;
    panel.open();
    panel.atStep(6);
    panel.tickAnswered(); // step 7
    panel.takeWritten();
    panel.find<QAbstractButton>("OutPutButton")->click();
    QCOMPARE(panel.takeWritten(), QStringLiteral("OUTP 1CR"));
    QCOMPARE(int(panel.link.state().step), 17);
    panel.tickAnswered();
    QCOMPARE(int(panel.link.state().step), 18);
    QCOMPARE(panel.takeWritten(), QStringLiteral("OUTPut:STATe?CR"));
    panel.window->polling().SysTickTimer_Timer();
    QCOMPARE(int(panel.link.state().step), 1);
}

void TestPolling::emptyQueryBeforeFirstPoll() {
    PanelFixture panel;
    panel.open();
    panel.atStep(17);
    panel.window->polling().SysTickTimer_Timer();
    QCOMPARE(int(panel.link.state().step), 18);
    QCOMPARE(panel.comm->written(), QByteArray());
    QCOMPARE(panel.window->trafficLog().text(), QStringLiteral("TX>>:\n"));
}

void TestPolling::closedPortStopsPolling() {
    PanelFixture panel;
    panel.window->SeekCmd_Click();
    QCOMPARE(panel.text("SeekCmd"), QStringLiteral("停止巡检"));
    panel.link.state().step = PollingStep(4);
    panel.window->polling().SysTickTimer_Timer();
    QCOMPARE(panel.text("SeekCmd"), QStringLiteral("开始巡检"));
    QVERIFY(!panel.window->findChild<QTimer*>("SysTickTimer")->isActive());
    QCOMPARE(int(panel.link.state().step), 5);
    QCOMPARE(panel.link.state().query, QStringLiteral("VOLTage:PROTection:LEVel?CR"));
    QCOMPARE(panel.text("msgLab"), QString());
    QVERIFY(panel.window->trafficLog().text().isEmpty());
}

void TestPolling::pollingSwitch() {
    PanelFixture panel;
    auto* timer = panel.window->findChild<QTimer*>("SysTickTimer");
    panel.link.state().step = PollingStep(7);
    panel.link.state().query = QStringLiteral("OUTPut:STATe?CR");
    panel.find<QAbstractButton>("SeekCmd")->click();
    QVERIFY(timer->isActive());
    QCOMPARE(panel.text("SeekCmd"), QStringLiteral("停止巡检"));
    panel.find<QAbstractButton>("SeekCmd")->click();
    QVERIFY(!timer->isActive());
    QCOMPARE(panel.text("SeekCmd"), QStringLiteral("开始巡检"));
    // The switch neither resets the cycle nor sends anything.
    QCOMPARE(int(panel.link.state().step), 7);
    QCOMPARE(panel.link.state().query, QStringLiteral("OUTPut:STATe?CR"));
    QCOMPARE(panel.comm->writes.size(), 0);
}

void TestPolling::dateAndTimeFollowTheClock() {
    PanelFixture panel;
    panel.open();
    panel.window->polling().SysTickTimer_Timer();
    const QLocale locale;
    const QString date = panel.text("LblNewDate");
    QVERIFY(date == locale.toString(QDate::currentDate(), QLocale::ShortFormat) ||
            date == locale.toString(QDate::currentDate().addDays(-1), QLocale::ShortFormat));
    QStringList recent;
    for (int s = 0; s <= 2; ++s)
        recent.append(locale.toString(QTime::currentTime().addSecs(-s), QLocale::LongFormat));
    QVERIFY2(recent.contains(panel.text("LblNowTime")), qPrintable(panel.text("LblNowTime")));
}

void TestPolling::tickDiscardsUndecodedText() {
    PanelFixture panel;
    panel.open();
    panel.atStep(12);
    panel.comm->receive("1\r\n1\r\n");
    QCOMPARE(panel.link.decoder().pending(), QStringLiteral("1\r\n1\r\n"));
    // Text waiting in the control is dropped as well.
    panel.comm->setRThreshold(0);
    panel.comm->receive("+9.99999E+09\r\n");
    panel.comm->setRThreshold(1);
    QCOMPARE(panel.comm->pendingBytes(), qint64(14));
    panel.window->polling().SysTickTimer_Timer();
    QVERIFY(panel.link.decoder().pending().isEmpty());
    QCOMPARE(panel.comm->pendingBytes(), qint64(0));
    QCOMPARE(panel.link.trafficLog().rxCount(), qint64(6 + 14));
}

void TestPolling::twoCyclesAgainstSupply_data() {
    QTest::addColumn<int>("pieceSize");
    QTest::newRow("whole replies") << 0;
    QTest::newRow("one byte at a time") << 1;
    QTest::newRow("five bytes at a time") << 5;
}

void TestPolling::twoCyclesAgainstSupply() {
    QFETCH(int, pieceSize);
    PanelFixture panel;
    ScriptedSupply supply(*panel.comm);
    supply.pieceSize = pieceSize;
    panel.open();
    panel.window->FrameVersion_DblClick();
    QCoreApplication::processEvents();
    QCOMPARE(panel.text("LabVersion"), QStringLiteral("V1.06"));
    for (int tick = 0; tick < 2 * 18 + 1; ++tick) {
        panel.window->polling().SysTickTimer_Timer();
        QCoreApplication::processEvents();
    }
    QCOMPARE(panel.text("ReadVolLab"), QStringLiteral("12"));
    QCOMPARE(panel.text("ReadCurrentLab"), QStringLiteral("0.85"));
    QCOMPARE(panel.text("CVLab"), QStringLiteral("12.5"));
    QCOMPARE(panel.text("CCLab"), QStringLiteral("1.5"));
    QCOMPARE(panel.text("OVPLab"), QStringLiteral("33"));
    QCOMPARE(panel.text("OCPLab"), QStringLiteral("3.3"));
    QCOMPARE(panel.text("OutPutButton"), QStringLiteral("关"));
    // The channel replies of steps 10 to 18 are never taken as a version.
    QCOMPARE(panel.text("LabVersion"), QStringLiteral("V1.06"));
    QCOMPARE(panel.text("LabSeries"), QString());
    QVERIFY(supply.answered >= 2 * 18);
    QVERIFY(!panel.comm->written().contains("SOUR:MODE 0CR"));
    QVERIFY(!panel.comm->written().contains("APPL 1CR"));
}

void TestPolling::realTimerPolls() {
    PanelFixture panel;
    ScriptedSupply supply(*panel.comm);
    panel.open();
    panel.find<QAbstractButton>("SeekCmd")->click();
    QTRY_COMPARE_WITH_TIMEOUT(panel.text("ReadCurrentLab"), QStringLiteral("0.85"), 3000);
    QCOMPARE(panel.text("ReadVolLab"), QStringLiteral("12"));
    panel.find<QAbstractButton>("SeekCmd")->click();
}

QTEST_MAIN(TestPolling)
#include "test_polling.moc"
