#include "app/Translations.h"
#include "support/PanelFixture.h"
#include "support/Pty.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTcpServer>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <memory>

class TestWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void startTexts_data();
    void startTexts();
    void startStates();
    void everyLabelIsPlainText();
    void listsAtStart();
    void fixedSize();
    void timersAtStart();
    void portListFromLinks();
    void noPortsLeavesListEmpty();
    void uartPresenceDecidesTtyS();
    void messageLineCountdown();
    void messageReplacedRestartsCount();
    void exitClosesPort();
    void metricsAddressInUseGoesToTheMessageLine();

private:
    std::unique_ptr<Translations> translations_;
};

void TestWindow::initTestCase() {
    // The panel as it starts in the C locale: in Chinese, with Qt's own
    // Chinese catalogue.
    translations_ = std::make_unique<Translations>(chooseLanguage({}, QProcessEnvironment()));
}

void TestWindow::startTexts_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    const QList<QPair<const char*, const char*>> rows = {
        {"FrameVersion", "版本号"},
        {"LabVersion", ""},
        {"Veries", "序列号"},
        {"LabSeries", ""},
        {"SERcmd", "串联"},
        {"PARcmd", "并联"},
        {"INDcmd", "独立"},
        {"Op2", "II路"},
        {"OP1", "I路"},
        {"ClrAlarmAmd", "清除告警"},
        {"Command1", "清除记录"},
        {"OutPutButton", "开"},
        {"EndCmd", "退出"},
        {"CmdClearCounter", "计数清零"},
        {"Label1", "电源型号:"},
        {"Label2", "-"},
        {"VOLSetLab", "电压设定(V):0 - 550"},
        {"CVSetText", "0"},
        {"VOLSetCmd", "电压设定"},
        {"OVPSetLab", "过压设置(V):0 - 550"},
        {"OVPSetText", "550"},
        {"OVPSetCmd", "过压设定"},
        {"CURSetLab", "恒流设定(A):0 - 5"},
        {"CCSetText", "0"},
        {"CURSetCmd", "恒流设定"},
        {"OCPSetLab", "过流设定(A):0 - 5"},
        {"OCPSetText", "0.102"},
        {"OCPSetCmd", "过流设定"},
        {"Label11", "V"},
        {"Label12", "V"},
        {"Label13", "A"},
        {"Label14", "A"},
        {"Frame2", "读取的电流电压及过流过压值"},
        {"Frame6", "当前电压(V)"},
        {"ReadVolLab", "0"},
        {"Frame7", "当前电流(A)"},
        {"ReadCurrentLab", "0.000"},
        {"Frame3", "恒压值(V)"},
        {"CVLab", "0"},
        {"Frame5", "恒流值(A)"},
        {"CCLab", "0.000"},
        {"OVP", "过压值(V)"},
        {"OVPLab", "0"},
        {"Frame4", "过流值(A)"},
        {"OCPLab", "0.000"},
        {"Frame1", ""},
        {"Frame8", ""},
        {"Frame9", ""},
        {"FrameIII", ""},
        {"Label4", "串口"},
        {"Label5", "波特率"},
        {"CboBaudrate", "9600"},
        {"Label6", "校验位"},
        {"CboParitybit", "NONE"},
        {"Label7", "数据位"},
        {"CboDatabit", "8"},
        {"Label8", "停止位"},
        {"CboStopbit", "1"},
        {"CmdSwitch", "打开串口"},
        {"SeekCmd", "开始巡检"},
        {"TxtReceive", ""},
        {"msgLab", ""},
        {"TxtStatus", ""},
        {"TxtRXCount", "RX:0"},
        {"TxtTXCount", "TX:0"},
        {"LblNewDate", "显示日前"},
        {"LblNowTime", "当前时间"},
        {"CboCom", ""},
        {"PowerTypeCombVol", ""},
        {"PowerTypeCombCur", ""},
    };
    for (const auto& [name, text] : rows)
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromUtf8(text);
}

void TestWindow::startTexts() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    PanelFixture panel;
    QCOMPARE(panel.text(name.toLatin1().constData()), text);
}

void TestWindow::startStates() {
    PanelFixture panel;
    QCOMPARE(panel.window->windowTitle(), QStringLiteral("Velmor电源监控-V3.5"));
    QVERIFY(!panel.window->windowIcon().isNull());
    QVERIFY(panel.find<QRadioButton>("INDcmd")->isChecked());
    QVERIFY(!panel.find<QRadioButton>("PARcmd")->isChecked());
    QVERIFY(!panel.find<QRadioButton>("SERcmd")->isChecked());
    QVERIFY(panel.find<QRadioButton>("OP1")->isChecked());
    QVERIFY(!panel.find<QRadioButton>("Op2")->isChecked());
    QVERIFY(panel.find<QRadioButton>("OP1")->isEnabled());
    QVERIFY(panel.find<QRadioButton>("Op2")->isEnabled());
    for (const char* name : {"VOLSetCmd", "CURSetCmd", "OVPSetCmd", "OCPSetCmd"})
        QVERIFY2(!panel.find<QAbstractButton>(name)->isEnabled(), name);
    panel.window->show();
    QVERIFY(panel.find<QLabel>("ImgSwitchOff")->isVisible());
    QVERIFY(!panel.find<QLabel>("ImgSwitchOn")->isVisible());
    for (const char* name : {"FrameVersion", "LabVersion", "Veries", "LabSeries"})
        QCOMPARE(panel.find<QWidget>(name)->toolTip(), QStringLiteral("双击读取版本信息！"));
    const QFont readOut = panel.find<QLabel>("ReadVolLab")->font();
    QVERIFY(readOut.bold());
    QCOMPARE(readOut.pointSizeF(), 15.75);
    QVERIFY(panel.find<QLabel>("msgLab")->font().bold());
    QCOMPARE(panel.find<QLabel>("msgLab")->font().pointSize(), 12);

    const PanelState& s = panel.state;
    SupplyLink& link = panel.link;
    const SetpointLimits& limits = link.rating().limits();
    QCOMPARE(s.MsgDelayTime, qint16(0));
    QCOMPARE(int(link.state().step), 0);
    QVERIFY(link.state().query.isEmpty());
    QVERIFY(link.decoder().pending().isEmpty());
    QVERIFY(!link.portSession().bPortOpen());
    QVERIFY(!link.state().skipNextTick);
    QCOMPARE(int(s.MyOpenPort), 0);
    for (double limit :
         {limits.CVSetValueMax, limits.CCSetValueMax, limits.OVPSetValueMax, limits.OCPSetValueMax,
          limits.CVSetValueMin, limits.CCSetValueMin, limits.OVPSetValueMin, limits.OCPSetValueMin})
        QCOMPARE(limit, 0.0);
}

void TestWindow::everyLabelIsPlainText() {
    PanelFixture panel;
    const auto labels = panel.window->findChildren<QLabel*>();
    QVERIFY(labels.size() >= 28);
    for (QLabel* label : labels)
        QVERIFY2(label->textFormat() == Qt::PlainText, qPrintable(label->objectName()));
    // Markup sent by a device is shown as the characters it is: as wide as
    // the same text in a plain-text label, wider than the rendered markup.
    panel.open();
    panel.atStep(18);
    panel.comm->receive("<b>VELMOR</b>,PSU-3005,SN0042\r\n");
    auto* series = panel.find<QLabel>("LabSeries");
    QCOMPARE(series->text(), QStringLiteral("<b>VELMOR</b>,PSU-3005,SN0042"));
    // Measured on one line.
    series->setWordWrap(false);
    QLabel plain;
    plain.setFont(series->font());
    plain.setTextFormat(Qt::PlainText);
    plain.setText(series->text());
    QLabel rendered;
    rendered.setFont(series->font());
    rendered.setTextFormat(Qt::AutoText);
    rendered.setText(series->text());
    QCOMPARE(series->sizeHint().width(), plain.sizeHint().width());
    QVERIFY(series->sizeHint().width() > rendered.sizeHint().width());
}

void TestWindow::listsAtStart() {
    PanelFixture panel;
    const auto items = [](QComboBox* list) {
        QStringList out;
        for (int i = 0; i < list->count(); ++i)
            out.append(list->itemText(i));
        return out;
    };
    QCOMPARE(items(panel.find<QComboBox>("CboBaudrate")),
             QStringList({"300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "28800",
                          "38400", "56000", "128000", "256000"}));
    QCOMPARE(items(panel.find<QComboBox>("CboParitybit")),
             QStringList({"NONE", "ODD", "ENEV", "SPACE", "MARK"}));
    QCOMPARE(items(panel.find<QComboBox>("CboDatabit")), QStringList({"8", "7", "6", "5"}));
    QCOMPARE(items(panel.find<QComboBox>("CboStopbit")), QStringList({"1", "1.5", "2"}));
    QCOMPARE(items(panel.find<QComboBox>("PowerTypeCombVol")),
             QStringList({" 5  V", "10  V", "15  V", "18  V", "20  V", "25  V", "30  V", "35  V",
                          "50  V", "70  V", "75  V", "100 V", "110 V", "150 V", "200 V", "250 V",
                          "300 V", "350 V", "500 V"}));
    QCOMPARE(items(panel.find<QComboBox>("PowerTypeCombCur")),
             QStringList({"0.1 A", "0.2 A", "0.3 A", "0.5 A", "0.6 A", "0.8 A", "1   A", "1.5 A",
                          "2   A", "2.5 A", "3   A", "3.5 A", "4   A", "4.5 A", "5   A"}));
    QCOMPARE(panel.find<QComboBox>("PowerTypeCombVol")->currentIndex(), -1);
    QCOMPARE(panel.find<QComboBox>("PowerTypeCombCur")->currentIndex(), -1);
    for (QComboBox* list : panel.window->findChildren<QComboBox*>())
        QVERIFY2(list->isEditable(), qPrintable(list->objectName()));
}

void TestWindow::fixedSize() {
    PanelFixture panel;
    panel.window->show();
    QCOMPARE(panel.window->size(), QSize(636, 538));
    panel.window->resize(800, 700);
    QCOMPARE(panel.window->size(), QSize(636, 538));
    QCOMPARE(panel.window->minimumSize(), panel.window->maximumSize());
}

void TestWindow::timersAtStart() {
    PanelFixture panel;
    const auto timer = [&](const char* name) { return panel.window->findChild<QTimer*>(name); };
    QCOMPARE(timer("SysTickTimer")->interval(), 500);
    QVERIFY(!timer("SysTickTimer")->isActive());
    QCOMPARE(timer("TmrAutoSend")->interval(), 2000);
    QVERIFY(timer("TmrAutoSend")->isActive());
    QCOMPARE(timer("Timer1")->interval(), 1000);
    QVERIFY(!timer("Timer1")->isActive());
}

void TestWindow::portListFromLinks() {
    QTemporaryDir folder;
    Pty first;
    Pty second;
    QVERIFY(first.isValid() && second.isValid());
    QVERIFY(first.linkAs(folder.path(), 12));
    QVERIFY(second.linkAs(folder.path(), 3));
    // COM256 does not fit the chosen port's number: listed, it could never
    // be opened.
    QVERIFY(first.linkAs(folder.path(), 255) && first.linkAs(folder.path(), 256));
    QVERIFY(QFile::link(QStringLiteral("/nonexistent/device"), folder.path() + "/com200"));
    QFile plain(folder.path() + "/plain");
    QVERIFY(plain.open(QIODevice::WriteOnly));
    QVERIFY(QFile::link(plain.fileName(), folder.path() + "/com201"));

    VelmorMain window(std::make_unique<ScriptedSerialControl>(), PortDirectory(folder.path()));
    auto* list = window.findChild<QComboBox*>("CboCom");
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names.append(list->itemText(i));
    QVERIFY(names.contains("COM3"));
    QVERIFY(names.contains("COM12"));
    QVERIFY(names.indexOf("COM3") < names.indexOf("COM12"));
    QVERIFY(!names.contains("COM200")); // the link leads nowhere
    QVERIFY(!names.contains("COM201")); // not a character device
    QVERIFY(!names.contains("COM13"));
    QVERIFY(names.contains("COM255"));
    int previous = 0;
    for (const QString& name : names) {
        const int n = name.mid(3).toInt();
        QVERIFY2(name.startsWith("COM") && n > previous, qPrintable(names.join(',')));
        previous = n;
        // Every listed port is one the port button can open.
        QCOMPARE(int(portNumberFromText(name)), n);
    }
    QVERIFY(list->currentText().isEmpty());
    QCOMPARE(int(window.panelState().MyOpenPort), 0);

    list->setEditText("COM12");
    QCOMPARE(int(window.panelState().MyOpenPort), 12);
    QCOMPARE(list->toolTip(), folder.path() + "/com12");
    list->setEditText("COM40");
    QCOMPARE(list->toolTip(), QStringLiteral("/dev/ttyUSB7"));
}

void TestWindow::noPortsLeavesListEmpty() {
    if (!QDir("/dev").entryList({"ttyUSB*", "ttyACM*"}, QDir::System).isEmpty())
        QSKIP("this machine has USB serial ports of its own");
    // No links, and no UART behind any ttyS node.
    QTemporaryDir links;
    QTemporaryDir sysfs;
    VelmorMain window(std::make_unique<ScriptedSerialControl>(),
                      PortDirectory(links.path(), sysfs.path()));
    auto* list = window.findChild<QComboBox*>("CboCom");
    QCOMPARE(list->count(), 0);
    QVERIFY(list->currentText().isEmpty());
    QCOMPARE(int(window.panelState().MyOpenPort), 0);
}

void TestWindow::uartPresenceDecidesTtyS() {
    if (!QFileInfo("/dev/ttyS0").exists())
        QSKIP("no /dev/ttyS0 node on this machine");
    QTemporaryDir links;
    QTemporaryDir sysfs;
    PortDirectory ports(links.path(), sysfs.path());
    QCOMPARE(ports.ComPortExists(1), 0); // nothing known about the port
    QVERIFY(QDir(sysfs.path()).mkpath("ttyS0"));
    QFile type(sysfs.path() + "/ttyS0/type");
    QVERIFY(type.open(QIODevice::WriteOnly));
    type.write("0\n");
    type.close();
    QCOMPARE(ports.ComPortExists(1), 0); // a node without a UART
    QVERIFY(type.open(QIODevice::WriteOnly));
    type.write("4\n");
    type.close();
    QCOMPARE(ports.ComPortExists(1), 1); // a 16550A
    QCOMPARE(ports.ComPortExists(2), 0); // no ttyS1 node
}

void TestWindow::messageLineCountdown() {
    PanelFixture panel;
    MessageLine& line = panel.window->messageLine();
    // With nothing shown, ticks change nothing.
    for (int i = 0; i < 3; ++i)
        line.TmrAutoSend_Timer();
    QCOMPARE(panel.state.MsgDelayTime, qint16(0));
    QCOMPARE(panel.text("msgLab"), QString());

    line.show(Notices::PortClosed);
    QCOMPARE(panel.state.MsgDelayTime, qint16(10));
    for (int tick = 1; tick <= 9; ++tick) {
        line.TmrAutoSend_Timer();
        QCOMPARE(panel.text("msgLab"), QStringLiteral("串口没有打开，请打开串口"));
    }
    line.TmrAutoSend_Timer();
    QCOMPARE(panel.text("msgLab"), QString());
    QCOMPARE(panel.state.MsgDelayTime, qint16(0));
}

void TestWindow::messageReplacedRestartsCount() {
    PanelFixture panel;
    MessageLine& line = panel.window->messageLine();
    line.show(Notices::PortMissing);
    for (int i = 0; i < 5; ++i)
        line.TmrAutoSend_Timer();
    line.show(Notices::PortClosed);
    for (int i = 0; i < 9; ++i)
        line.TmrAutoSend_Timer();
    QCOMPARE(panel.text("msgLab"), QStringLiteral("串口没有打开，请打开串口"));
    line.clearNow();
    QCOMPARE(panel.text("msgLab"), QString());
    QCOMPARE(panel.state.MsgDelayTime, qint16(1));
    line.TmrAutoSend_Timer();
    QCOMPARE(panel.state.MsgDelayTime, qint16(0));
}

void TestWindow::exitClosesPort() {
    PanelFixture panel;
    panel.window->show();
    panel.open();
    QVERIFY(panel.comm->PortOpen());
    panel.find<QToolButton>("EndCmd")->click();
    QVERIFY(!panel.comm->PortOpen());
    QVERIFY(!panel.window->isVisible());
}

void TestWindow::metricsAddressInUseGoesToTheMessageLine() {
    QTcpServer busy;
    QVERIFY(busy.listen(QHostAddress::LocalHost, 0));
    PanelFixture panel;
    LaunchOptions options;
    options.port = QStringLiteral("COM3");
    options.metrics = MetricsAddress{QStringLiteral("127.0.0.1"), busy.serverPort()};
    panel.window->launch(options);
    // The run goes on without the page; no box comes up.
    QVERIFY(panel.comm->PortOpen());
    QVERIFY(!panel.window->controller().remote()->isServingMetrics());
    QVERIFY(panel.boxes.isEmpty());
    const QString message = panel.text("msgLab");
    QVERIFY2(message.contains("127.0.0.1:" + QString::number(busy.serverPort())),
             qPrintable(message));
}

QTEST_MAIN(TestWindow)
#include "test_window.moc"
