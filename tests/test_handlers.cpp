#include "support/PanelFixture.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>

#include <functional>

namespace {

// The events a real double-click delivers: press, release, double-click,
// release.
void doubleClick(QWidget* widget) {
    const QPointF at(widget->rect().center());
    const QPointF global(widget->mapToGlobal(at.toPoint()));
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                              QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, global, Qt::LeftButton, held, Qt::NoModifier);
        QCoreApplication::sendEvent(widget, &event);
    }
}

} // namespace

class TestHandlers : public QObject {
    Q_OBJECT
private slots:
    void commands_data();
    void commands();
    void closedPortSendsNothing_data();
    void closedPortSendsNothing();
    void outputSwitchToggles();
    void modeClicksSteerChannels();
    void reportedSeriesMode();
    void setpointRangeBeforePort();
    void setpointEntriesRead_data();
    void setpointEntriesRead();
    void versionQuery();
    void identityByMouse();
    void identityLeftoverNotShown();
};

void TestHandlers::commands_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QString>("logged");
    QTest::addColumn<int>("stepAfter");
    // Each starts at step 11 with a 30 V / 3 A rating chosen.
    QTest::newRow("voltage") << "VOLSetCmd"
                             << "12.50" << QByteArray("VOLTage:LEVel 12.5CR")
                             << "TX>>:VOLTage:LEVel 12.5CR\r\n"
                             << 3;
    QTest::newRow("current") << "CURSetCmd"
                             << "0.500" << QByteArray("CURRent:LEVel 0.5CR")
                             << "TX>>:CURRent:LEVel 0.5CR\r\n"
                             << 4;
    QTest::newRow("over-voltage") << "OVPSetCmd"
                                  << "3" << QByteArray("VOLTage:PROTection:LEVel 3CR")
                                  << "TX>>:VOLTage:PROTection:LEVel 3CR\r\n"
                                  << 5;
    QTest::newRow("over-current") << "OCPSetCmd"
                                  << "1.2" << QByteArray("CURRent:PROTection:LEVel 1.2CR")
                                  << "TX>>:CURRent:PROTection:LEVel 1.2CR\r\n"
                                  << 6;
    QTest::newRow("output") << "OutPutButton"
                            << "" << QByteArray("OUTP 1CR") << "" << 17;
    QTest::newRow("parallel") << "PARcmd"
                              << "" << QByteArray("SOUR:MODE 1CR") << "TX>>:SOUR:MODE 1CR\r\n"
                              << 3;
    QTest::newRow("series") << "SERcmd"
                            << "" << QByteArray("SOUR:MODE 2CR") << "TX>>:SOUR:MODE 2CR\r\n"
                            << 3;
    QTest::newRow("channel II") << "Op2"
                                << "" << QByteArray("APPL 2CR") << "TX>>:APPL 2CR\r\n"
                                << 11;
    QTest::newRow("clear alarm") << "ClrAlarmAmd"
                                 << "" << QByteArray("OUTPut:PROTection:CLEarCR") << "" << 11;
}

void TestHandlers::commands() {
    QFETCH(QString, control);
    QFETCH(QString, entry);
    QFETCH(QByteArray, written);
    QFETCH(QString, logged);
    QFETCH(int, stepAfter);
    PanelFixture panel;
    panel.open();
    panel.choose("PowerTypeCombVol", "30  V");
    panel.choose("PowerTypeCombCur", "3   A");
    panel.atStep(11);
    const QByteArray name = control.toLatin1();
    auto* button = panel.find<QAbstractButton>(name.constData());
    const QMap<QString, const char*> entries = {{"VOLSetCmd", "CVSetText"},
                                                {"CURSetCmd", "CCSetText"},
                                                {"OVPSetCmd", "OVPSetText"},
                                                {"OCPSetCmd", "OCPSetText"}};
    if (!entry.isEmpty())
        panel.find<QLineEdit>(entries[control])->setText(entry);
    button->click();
    QCOMPARE(panel.comm->writes, QList<QByteArray>{written});
    QCOMPARE(panel.window->trafficLog().text(), logged);
    QCOMPARE(int(panel.link.state().step), stepAfter);
    QVERIFY(!panel.link.state().skipNextTick);
    QVERIFY(panel.boxes.isEmpty());
    // The entry keeps the text as typed, not as sent.
    if (!entry.isEmpty())
        QCOMPARE(panel.text(entries[control]), entry);
}

void TestHandlers::closedPortSendsNothing_data() {
    QTest::addColumn<QString>("control");
    for (const char* name : {"VOLSetCmd", "CURSetCmd", "OVPSetCmd", "OCPSetCmd", "OutPutButton",
                             "PARcmd", "SERcmd", "Op2", "ClrAlarmAmd"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestHandlers::closedPortSendsNothing() {
    QFETCH(QString, control);
    PanelFixture panel;
    panel.choose("PowerTypeCombVol", "30  V");
    panel.choose("PowerTypeCombCur", "3   A");
    panel.find<QLineEdit>("OVPSetText")->setText("10");
    panel.find<QLineEdit>("OCPSetText")->setText("1");
    panel.link.state().step = PollingStep(11);
    panel.find<QAbstractButton>(control.toLatin1().constData())->click();
    QCOMPARE(panel.comm->writes.size(), 0);
    QCOMPARE(panel.text("msgLab"), QStringLiteral("串口没有打开，请打开串口"));
    QCOMPARE(panel.state.MsgDelayTime, qint16(10));
    QCOMPARE(int(panel.link.state().step), 11);
    QVERIFY(panel.window->trafficLog().text().isEmpty());
    QVERIFY(panel.boxes.isEmpty());
    QCOMPARE(panel.text("OutPutButton"), QStringLiteral("开"));
}

void TestHandlers::outputSwitchToggles() {
    PanelFixture panel;
    panel.open();
    auto* button = panel.find<QAbstractButton>("OutPutButton");
    button->click();
    QCOMPARE(button->text(), QStringLiteral("关"));
    button->click();
    QCOMPARE(button->text(), QStringLiteral("开"));
    QCOMPARE(panel.comm->writes, (QList<QByteArray>{"OUTP 1CR", "OUTP 0CR"}));
    QVERIFY(panel.window->trafficLog().text().isEmpty());
}

void TestHandlers::modeClicksSteerChannels() {
    PanelFixture panel;
    panel.window->show();
    panel.find<QAbstractButton>("PARcmd")->click();
    // Closed port: the panel follows the click all the same.
    QVERIFY(panel.find<QRadioButton>("PARcmd")->isChecked());
    QCOMPARE(int(panel.link.state().mode), 1);
    QVERIFY(!panel.find<QRadioButton>("OP1")->isEnabled());
    QVERIFY(!panel.find<QRadioButton>("Op2")->isEnabled());
    QCOMPARE(panel.text("msgLab"), QStringLiteral("串口没有打开，请打开串口"));

    panel.open();
    panel.find<QAbstractButton>("SERcmd")->click();
    QVERIFY(!panel.find<QRadioButton>("OP1")->isEnabled());
    panel.find<QAbstractButton>("INDcmd")->click();
    QVERIFY(panel.find<QRadioButton>("OP1")->isEnabled());
    QVERIFY(panel.find<QRadioButton>("Op2")->isEnabled());
    QCOMPARE(panel.comm->writes, (QList<QByteArray>{"SOUR:MODE 2CR", "SOUR:MODE 0CR"}));
    QCOMPARE(int(panel.link.state().step), 3);
    QCOMPARE(panel.window->trafficLog().text(),
             QStringLiteral("TX>>:SOUR:MODE 2CR\r\nTX>>:SOUR:MODE 0CR\r\n"));
    // The operator cannot click a disabled channel option.
    panel.find<QAbstractButton>("PARcmd")->click();
    QTest::mouseClick(panel.find<QRadioButton>("Op2"), Qt::LeftButton);
    QVERIFY(panel.find<QRadioButton>("OP1")->isChecked());
}

void TestHandlers::reportedSeriesMode() {
    PanelFixture panel;
    panel.open();
    panel.choose("PowerTypeCombVol", "30  V");
    panel.choose("PowerTypeCombCur", "3   A");
    panel.atStep(8);
    panel.comm->receive("2\r\n");
    QVERIFY(panel.find<QRadioButton>("SERcmd")->isChecked());
    QCOMPARE(panel.takeWritten(), QStringLiteral("SOUR:MODE 2CR"));
    QCOMPARE(panel.window->trafficLog().text(),
             QStringLiteral("\r\nRX<<:2\r\n\r\nTX>>:SOUR:MODE 2CR\r\n"));
    QVERIFY(!panel.find<QRadioButton>("OP1")->isEnabled());
    QVERIFY(!panel.find<QRadioButton>("Op2")->isEnabled());
    QCOMPARE(int(panel.link.state().step), 3);
    QCOMPARE(int(panel.link.state().mode), 2);
    QCOMPARE(int(panel.link.rating().followedMode()), 2);
    QCOMPARE(panel.text("VOLSetLab"), QStringLiteral("恒压值范围: 0 - 63"));
    QCOMPARE(panel.text("OVPSetLab"), QStringLiteral("过压值范围: 6 - 66"));
    QCOMPARE(panel.text("CURSetLab"), QStringLiteral("恒流值范围:0 - 3.15"));
}

void TestHandlers::setpointRangeBeforePort() {
    PanelFixture panel;
    panel.choose("PowerTypeCombVol", "30  V");
    panel.link.state().step = PollingStep(9);
    panel.find<QLineEdit>("CVSetText")->setText("31.51");
    panel.find<QAbstractButton>("VOLSetCmd")->click();
    QCOMPARE(panel.boxes.size(), 1);
    QCOMPARE(panel.boxes[0].text, QStringLiteral("设定值超出合法范围"));
    QCOMPARE(panel.boxes[0].title, QStringLiteral("Velmor电源"));
    QVERIFY(panel.boxes[0].icon == MessageBoxes::Icon::None);
    QCOMPARE(panel.text("msgLab"), QString());
    QCOMPARE(panel.text("CVSetText"), QStringLiteral("31.51"));
    QCOMPARE(int(panel.link.state().step), 9);
}

void TestHandlers::setpointEntriesRead_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("entryName");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QByteArray>("written"); // empty: the range box instead
    QTest::newRow("31.5 passes") << "VOLSetCmd"
                                 << "CVSetText"
                                 << "31.5" << QByteArray("VOLTage:LEVel 31.5CR");
    QTest::newRow("unit typed") << "VOLSetCmd"
                                << "CVSetText"
                                << "12V" << QByteArray("VOLTage:LEVel 12CR");
    QTest::newRow("comma stops") << "VOLSetCmd"
                                 << "CVSetText"
                                 << "1,5" << QByteArray("VOLTage:LEVel 1CR");
    QTest::newRow("empty is zero") << "VOLSetCmd"
                                   << "CVSetText"
                                   << "" << QByteArray("VOLTage:LEVel 0CR");
    QTest::newRow("point first") << "CURSetCmd"
                                 << "CCSetText"
                                 << ".5" << QByteArray("CURRent:LEVel 0.5CR");
    QTest::newRow("exponent") << "CURSetCmd"
                              << "CCSetText"
                              << "1e0" << QByteArray("CURRent:LEVel 1CR");
    QTest::newRow("tiny current") << "CURSetCmd"
                                  << "CCSetText"
                                  << "0.00001" << QByteArray("CURRent:LEVel 1E-05CR");
    QTest::newRow("OVP floor inclusive") << "OVPSetCmd"
                                         << "OVPSetText"
                                         << "3" << QByteArray("VOLTage:PROTection:LEVel 3CR");
    QTest::newRow("OVP below floor") << "OVPSetCmd"
                                     << "OVPSetText"
                                     << "2.9" << QByteArray();
    QTest::newRow("OVP empty") << "OVPSetCmd"
                               << "OVPSetText"
                               << "" << QByteArray();
    QTest::newRow("OCP empty") << "OCPSetCmd"
                               << "OCPSetText"
                               << "" << QByteArray();
    QTest::newRow("negative") << "CURSetCmd"
                              << "CCSetText"
                              << "-1" << QByteArray();
    QTest::newRow("beyond a double") << "VOLSetCmd"
                                     << "CVSetText"
                                     << "1e999" << QByteArray();
    QTest::newRow("negative beyond a double") << "VOLSetCmd"
                                              << "CVSetText"
                                              << "-1e999" << QByteArray();
}

void TestHandlers::setpointEntriesRead() {
    QFETCH(QString, button);
    QFETCH(QString, entryName);
    QFETCH(QString, entry);
    QFETCH(QByteArray, written);
    PanelFixture panel;
    panel.open();
    panel.choose("PowerTypeCombVol", "30  V");
    panel.choose("PowerTypeCombCur", "1   A");
    panel.find<QLineEdit>(entryName.toLatin1().constData())->setText(entry);
    panel.find<QAbstractButton>(button.toLatin1().constData())->click();
    if (written.isEmpty()) {
        QCOMPARE(panel.boxes.size(), 1);
        QCOMPARE(panel.comm->writes.size(), 0);
    } else {
        QVERIFY(panel.boxes.isEmpty());
        QCOMPARE(panel.comm->writes, QList<QByteArray>{written});
    }
}

void TestHandlers::versionQuery() {
    PanelFixture panel;
    panel.open();
    panel.find<QLabel>("LabVersion")->setText("old");
    panel.atStep(4);
    panel.window->FrameVersion_DblClick();
    QCOMPARE(panel.text("LabVersion"), QString());
    QCOMPARE(panel.takeWritten(), QStringLiteral("SYST:VERS?CR"));
    QCOMPARE(panel.window->trafficLog().text(), QStringLiteral("TX>>:SYST:VERS?CR\r\n"));
    QCOMPARE(int(panel.link.state().step), 17);
    QVERIFY(panel.link.state().skipNextTick);

    // Closed port: the label is emptied all the same, nothing else changes.
    panel.find<QAbstractButton>("CmdSwitch")->click();
    panel.link.state().skipNextTick = false;
    panel.find<QLabel>("LabSeries")->setText("old");
    panel.window->Veries_DblClick();
    QCOMPARE(panel.text("LabSeries"), QString());
    QCOMPARE(panel.text("msgLab"), QStringLiteral("串口没有打开，请打开串口"));
    QCOMPARE(int(panel.link.state().step), 17);
    QVERIFY(!panel.link.state().skipNextTick);
}

void TestHandlers::identityByMouse() {
    PanelFixture panel;
    panel.window->show();
    panel.open();
    QTest::mouseClick(panel.find<QLabel>("LabSeries"), Qt::LeftButton);
    QCOMPARE(panel.takeWritten(), QStringLiteral("*IDN?CR"));
    QCOMPARE(int(panel.link.state().step), 18);
    // A double-click on the label is one click: one query.
    doubleClick(panel.find<QLabel>("LabSeries"));
    QCOMPARE(panel.takeWritten(), QStringLiteral("*IDN?CR"));
    doubleClick(panel.find<QWidget>("Veries"));
    QCOMPARE(panel.takeWritten(), QStringLiteral("*IDN?CR"));
    doubleClick(panel.find<QLabel>("LabVersion"));
    QCOMPARE(panel.takeWritten(), QStringLiteral("SYST:VERS?CR"));
    doubleClick(panel.find<QWidget>("FrameVersion"));
    QCOMPARE(panel.takeWritten(), QStringLiteral("SYST:VERS?CR"));
    // A single click on the version does nothing.
    QTest::mouseClick(panel.find<QLabel>("LabVersion"), Qt::LeftButton);
    QTest::mouseClick(panel.find<QWidget>("FrameVersion"), Qt::LeftButton);
    QCOMPARE(panel.takeWritten(), QString());
}

void TestHandlers::identityLeftoverNotShown() {
    PanelFixture panel;
    panel.open();
    panel.atStep(12);
    panel.comm->receive("1\r\n1\r\n");
    panel.window->FrameVersion_DblClick();
    panel.comm->receive("V2");
    QCOMPARE(panel.text("LabVersion"), QString());
    panel.comm->receive(".01\r\n");
    QCOMPARE(panel.text("LabVersion"), QStringLiteral("V2.01"));
}

QTEST_MAIN(TestHandlers)
#include "test_handlers.moc"
