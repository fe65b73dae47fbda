#include "support/PanelFixture.h"

#include <QComboBox>
#include <QLabel>
#include <QtTest>

namespace {

const QString kClosed = QStringLiteral("STATUS：COM Port Cloced");

void expectClosedState(PanelFixture& panel) {
    QVERIFY(!panel.comm->PortOpen());
    QCOMPARE(panel.text("TxtStatus"), kClosed);
    QCOMPARE(panel.text("CmdSwitch"), QStringLiteral("打开串口"));
    QVERIFY(!panel.find<QLabel>("ImgSwitchOn")->isVisible());
    QVERIFY(panel.find<QLabel>("ImgSwitchOff")->isVisible());
}

} // namespace

class TestPortSwitch : public QObject {
    Q_OBJECT
private slots:
    void opensWithListSettings_data();
    void opensWithListSettings();
    void firstAttemptFailsSecondSucceeds();
    void bothAttemptsFail_data();
    void bothAttemptsFail();
    void bitsThatAreNoNumberDoNothing_data();
    void bitsThatAreNoNumberDoNothing();
    void pressWhileOpenCloses();
    void lineLostWhileOpen();
    void refusedWriteClosesPort();
};

void TestPortSwitch::opensWithListSettings_data() {
    QTest::addColumn<QString>("baud");
    QTest::addColumn<QString>("parity");
    QTest::addColumn<QString>("dataBits");
    QTest::addColumn<QString>("stopBits");
    QTest::addColumn<int>("openedBaud");
    QTest::addColumn<int>("openedParity");
    QTest::addColumn<int>("openedData");
    QTest::addColumn<int>("openedStop");
    QTest::addColumn<QString>("status");
    using P = LineSettings::Parity;
    QTest::newRow("defaults") << "9600"
                              << "NONE"
                              << "8"
                              << "1" << 9600 << int(P::None) << 8 << 1
                              << "STATUS：COM3 OPEND，9600,N,8,1";
    QTest::newRow("one and a half stop bits give two")
        << "19200"
        << "ODD"
        << "7"
        << "1.5" << 19200 << int(P::Odd) << 7 << 2 << "STATUS：COM3 OPEND，19200,O,7,1.5";
    QTest::newRow("ENEV is even parity")
        << "4800"
        << "ENEV"
        << "8"
        << "2" << 4800 << int(P::Even) << 8 << 2 << "STATUS：COM3 OPEND，4800,E,8,2";
    QTest::newRow("typed baud and lower-case parity")
        << "12345"
        << "mark"
        << "5"
        << "1" << 12345 << int(P::Mark) << 5 << 1 << "STATUS：COM3 OPEND，12345,m,5,1";
    QTest::newRow("space parity") << "300"
                                  << "SPACE"
                                  << "6"
                                  << "1" << 300 << int(P::Space) << 6 << 1
                                  << "STATUS：COM3 OPEND，300,S,6,1";
}

void TestPortSwitch::opensWithListSettings() {
    QFETCH(QString, baud);
    QFETCH(QString, parity);
    QFETCH(QString, dataBits);
    QFETCH(QString, stopBits);
    PanelFixture panel;
    panel.window->show();
    panel.find<QComboBox>("CboBaudrate")->setEditText(baud);
    panel.find<QComboBox>("CboParitybit")->setEditText(parity);
    panel.find<QComboBox>("CboDatabit")->setEditText(dataBits);
    panel.find<QComboBox>("CboStopbit")->setEditText(stopBits);
    panel.open();

    QVERIFY(panel.comm->PortOpen());
    QVERIFY(panel.link.portSession().bPortOpen());
    QCOMPARE(panel.comm->openedPort, 3);
    QTEST(int(panel.comm->openedWith.baudRate), "openedBaud");
    QTEST(int(panel.comm->openedWith.parity), "openedParity");
    QTEST(panel.comm->openedWith.dataBits, "openedData");
    QTEST(panel.comm->openedWith.stopBits, "openedStop");
    QTEST(panel.text("TxtStatus"), "status");
    QCOMPARE(panel.text("CmdSwitch"), QStringLiteral("关闭串口"));
    QVERIFY(panel.find<QLabel>("ImgSwitchOn")->isVisible());
    QVERIFY(!panel.find<QLabel>("ImgSwitchOff")->isVisible());
    // Opened, closed and opened again with the same settings.
    QCOMPARE(panel.comm->openings, 2);
    QCOMPARE(panel.comm->RThreshold(), 1);
    QVERIFY(panel.boxes.isEmpty());
}

void TestPortSwitch::firstAttemptFailsSecondSucceeds() {
    PanelFixture panel;
    panel.window->show();
    panel.comm->failingOpens = 1;
    panel.open();
    QVERIFY(panel.comm->PortOpen());
    QVERIFY(panel.boxes.isEmpty());
    QCOMPARE(panel.text("msgLab"), QString());
    // The countdown of the first attempt's message runs on.
    QCOMPARE(panel.state.MsgDelayTime, qint16(10));
    QCOMPARE(panel.text("CmdSwitch"), QStringLiteral("关闭串口"));
}

void TestPortSwitch::bothAttemptsFail_data() {
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("baud");
    QTest::newRow("no port chosen") << ""
                                    << "9600";
    QTest::newRow("port not present") << "COM4"
                                      << "9600";
    QTest::newRow("port number does not fit") << "COM300"
                                              << "9600";
    QTest::newRow("negative port number") << "COM-1"
                                          << "9600";
    QTest::newRow("baud the control rejects") << "COM3"
                                              << "fast";
}

void TestPortSwitch::bothAttemptsFail() {
    QFETCH(QString, port);
    QFETCH(QString, baud);
    PanelFixture panel;
    panel.window->show();
    panel.find<QComboBox>("CboCom")->setEditText(port);
    panel.find<QComboBox>("CboBaudrate")->setEditText(baud);
    QString messageWhenBoxShown;
    panel.window->messageBoxes().replaceShower([&](const MessageBoxes::Box& box) {
        panel.boxes.append(box);
        messageWhenBoxShown = panel.text("msgLab");
    });
    panel.find<QAbstractButton>("CmdSwitch")->click();

    QCOMPARE(panel.boxes.size(), 1);
    QCOMPARE(panel.boxes[0].text, QStringLiteral("没有成功，请重试"));
    QCOMPARE(panel.boxes[0].title, QStringLiteral("VELMOR电源"));
    QVERIFY(panel.boxes[0].icon == MessageBoxes::Icon::Warning);
    QCOMPARE(messageWhenBoxShown, QStringLiteral("没有发现此串口或被占用"));
    QCOMPARE(panel.text("msgLab"), QStringLiteral("没有发现此串口或被占用"));
    QCOMPARE(panel.state.MsgDelayTime, qint16(10));
    expectClosedState(panel);
}

void TestPortSwitch::bitsThatAreNoNumberDoNothing_data() {
    QTest::addColumn<QString>("dataBits");
    QTest::addColumn<QString>("stopBits");
    QTest::newRow("data bits as a word") << "eight"
                                         << "1";
    QTest::newRow("stop bits as a word") << "8"
                                         << "one";
    QTest::newRow("empty data bits") << ""
                                     << "1";
    QTest::newRow("data bits beyond 16 bits") << "70000"
                                              << "1";
}

void TestPortSwitch::bitsThatAreNoNumberDoNothing() {
    QFETCH(QString, dataBits);
    QFETCH(QString, stopBits);
    PanelFixture panel;
    panel.window->show();
    panel.find<QComboBox>("CboDatabit")->setEditText(dataBits);
    panel.find<QComboBox>("CboStopbit")->setEditText(stopBits);
    panel.open();
    QCOMPARE(panel.comm->openings, 0);
    QVERIFY(panel.boxes.isEmpty());
    QCOMPARE(panel.text("TxtStatus"), QString());
    QCOMPARE(panel.text("CmdSwitch"), QStringLiteral("打开串口"));
    QCOMPARE(panel.text("msgLab"), QString());

    // Data bits the control rejects (a number, but not 5 to 8) fail both
    // attempts instead.
    panel.find<QComboBox>("CboDatabit")->setEditText("9");
    panel.find<QComboBox>("CboStopbit")->setEditText("1");
    panel.find<QAbstractButton>("CmdSwitch")->click();
    QCOMPARE(panel.boxes.size(), 1);
    expectClosedState(panel);
}

void TestPortSwitch::pressWhileOpenCloses() {
    PanelFixture panel;
    panel.window->show();
    panel.open();
    QVERIFY(panel.comm->PortOpen());
    panel.find<QComboBox>("CboDatabit")->setEditText("nonsense");
    panel.find<QAbstractButton>("CmdSwitch")->click();
    expectClosedState(panel);
    QVERIFY(!panel.link.portSession().bPortOpen());
    QCOMPARE(panel.text("msgLab"), QString());
    QVERIFY(panel.boxes.isEmpty());
}

void TestPortSwitch::lineLostWhileOpen() {
    PanelFixture panel;
    panel.window->show();
    panel.open();
    panel.window->SeekCmd_Click();
    panel.comm->vanish();
    expectClosedState(panel);
    QCOMPARE(panel.text("msgLab"), QStringLiteral("没有发现此串口或被占用"));
    QVERIFY(panel.boxes.isEmpty());
    // Polling stops at its next tick.
    panel.window->polling().SysTickTimer_Timer();
    QCOMPARE(panel.text("SeekCmd"), QStringLiteral("开始巡检"));
    // The port can be opened again.
    panel.find<QAbstractButton>("CmdSwitch")->click();
    QVERIFY(panel.comm->PortOpen());
}

void TestPortSwitch::refusedWriteClosesPort() {
    PanelFixture panel;
    panel.window->show();
    panel.open();
    panel.comm->refuseWrites = true;
    panel.link.state().step = PollingStep(5);
    panel.find<QAbstractButton>("OutPutButton")->click();
    expectClosedState(panel);
    QCOMPARE(panel.text("msgLab"), QStringLiteral("没有发现此串口或被占用"));
    // Nothing went out, so neither the caption nor the step moved.
    QCOMPARE(panel.text("OutPutButton"), QStringLiteral("开"));
    QCOMPARE(int(panel.link.state().step), 5);
}

QTEST_MAIN(TestPortSwitch)
#include "test_port_switch.moc"
