#include "app/VelmorMain.h"
#include "serial/QtSerialControl.h"
#include "support/Pty.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

#include <thread>

namespace {

// A window on the real serial control, with COM5 linked to a fresh pty.
struct RealPanel {
    RealPanel() {
        pty.linkAs(folder.path(), 5);
        window = std::make_unique<VelmorMain>(
            std::make_unique<QtSerialControl>(PortDirectory(folder.path())),
            PortDirectory(folder.path()));
        window->messageBoxes().replaceShower([this](const MessageBoxes::Box&) { ++boxes; });
        window->show();
    }
    // As shown once the log view's pending refresh has run.
    QString text(const char* name) const {
        window->logView().show();
        if (auto* label = window->findChild<QLabel*>(name))
            return label->text();
        if (auto* edit = window->findChild<QLineEdit*>(name))
            return edit->text();
        return window->findChild<QAbstractButton*>(name)->text();
    }
    void press(const char* name) { window->findChild<QAbstractButton*>(name)->click(); }
    void open() {
        window->findChild<QComboBox*>("CboCom")->setEditText("COM5");
        press("CmdSwitch");
    }

    QTemporaryDir folder;
    Pty pty;
    std::unique_ptr<VelmorMain> window;
    int boxes = 0;
};

} // namespace

class TestSerialPty : public QObject {
    Q_OBJECT
private slots:
    void listedAndOpened();
    void settingsArrive();
    void commandArrivesByteForByte();
    void lastCommandLeavesBeforeTheClose();
    void receivedBytesReachTheDecoder();
    void bytesArrivingWhileDecodingAreRead();
    void portHeldByAnotherIsReported();
    void vanishedDeviceClosesAndIdles();
};

void TestSerialPty::listedAndOpened() {
    RealPanel panel;
    QVERIFY(panel.pty.isValid());
    auto* list = panel.window->findChild<QComboBox*>("CboCom");
    QVERIFY(list->findText("COM5") >= 0);
    panel.open();
    QVERIFY(panel.window->MSComm().PortOpen());
    QCOMPARE(panel.text("TxtStatus"), QStringLiteral("STATUS：COM5 OPEND，9600,N,8,1"));
    QCOMPARE(panel.boxes, 0);
}

void TestSerialPty::settingsArrive() {
    RealPanel panel;
    QVERIFY(!panel.pty.slaveIsRaw());
    panel.window->findChild<QComboBox*>("CboParitybit")->setEditText("ODD");
    panel.window->findChild<QComboBox*>("CboStopbit")->setEditText("1.5");
    panel.open();
    QVERIFY(panel.window->MSComm().PortOpen());
    QVERIFY(panel.pty.slaveIsRaw());
    QCOMPARE(panel.text("TxtStatus"), QStringLiteral("STATUS：COM5 OPEND，9600,O,8,1.5"));
}

void TestSerialPty::commandArrivesByteForByte() {
    RealPanel panel;
    panel.open();
    panel.press("OutPutButton");
    QByteArray got;
    QTRY_VERIFY_WITH_TIMEOUT((got += panel.pty.read(20)).size() >= 8, 2000);
    QCOMPARE(got, QByteArray::fromHex("4F55545020314352"));
    QCOMPARE(panel.text("TxtTXCount"), QStringLiteral("TX:8"));
}

// The port closed in the same handler as a command (the exit button after a
// run switched the output off): the command still reaches the supply.
void TestSerialPty::lastCommandLeavesBeforeTheClose() {
    RealPanel panel;
    panel.open();
    panel.press("OutPutButton");
    panel.press("CmdSwitch");
    QCOMPARE(panel.pty.read(500), QByteArray("OUTP 1CR"));
}

void TestSerialPty::receivedBytesReachTheDecoder() {
    RealPanel panel;
    panel.open();
    panel.window->link().state().step = PollingStep(1);
    panel.pty.write("+1.2345");
    QTRY_COMPARE_WITH_TIMEOUT(panel.text("TxtRXCount"), QStringLiteral("RX:7"), 2000);
    panel.pty.write("6E+01\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(panel.text("ReadVolLab"), QStringLiteral("12.3456"), 2000);
    QCOMPARE(panel.text("TxtRXCount"), QStringLiteral("RX:14"));
}

void TestSerialPty::bytesArrivingWhileDecodingAreRead() {
    RealPanel panel;
    panel.open();
    LinkState& state = panel.window->link().state();
    state.step = PollingStep(3);
    bool sent = false;
    // The second reply arrives while the first is being decoded, when the
    // port does not announce it again.
    panel.window->eventYield().replace([&] {
        if (!sent) {
            sent = true;
            state.step = PollingStep(4);
            panel.pty.write("+2.00000E+00\r\n");
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        QCoreApplication::processEvents();
    });
    panel.pty.write("+1.00000E+00\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(panel.text("CVLab"), QStringLiteral("1"), 2000);
    QTRY_COMPARE_WITH_TIMEOUT(panel.text("CCLab"), QStringLiteral("2"), 2000);
}

void TestSerialPty::portHeldByAnotherIsReported() {
    RealPanel panel;
    panel.open();
    QVERIFY(panel.window->MSComm().PortOpen());
    // A second panel on the same device.
    VelmorMain second(std::make_unique<QtSerialControl>(PortDirectory(panel.folder.path())),
                      PortDirectory(panel.folder.path()));
    int boxes = 0;
    second.messageBoxes().replaceShower([&](const MessageBoxes::Box&) { ++boxes; });
    second.findChild<QComboBox*>("CboCom")->setEditText("COM5");
    second.findChild<QAbstractButton*>("CmdSwitch")->click();
    QVERIFY(!second.MSComm().PortOpen());
    QCOMPARE(boxes, 1);
    QCOMPARE(second.findChild<QLabel*>("msgLab")->text(), QStringLiteral("没有发现此串口或被占用"));
    QVERIFY(panel.window->MSComm().PortOpen());
}

void TestSerialPty::vanishedDeviceClosesAndIdles() {
    RealPanel panel;
    panel.open();
    panel.press("SeekCmd");
    panel.pty.closeMaster();
    QTRY_VERIFY_WITH_TIMEOUT(!panel.window->MSComm().PortOpen(), 1000);
    QCOMPARE(panel.text("TxtStatus"), QStringLiteral("STATUS：COM Port Cloced"));
    QCOMPARE(panel.text("CmdSwitch"), QStringLiteral("打开串口"));
    QCOMPARE(panel.text("msgLab"), QStringLiteral("没有发现此串口或被占用"));
    QVERIFY(panel.window->findChild<QLabel*>("ImgSwitchOff")->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(panel.text("SeekCmd"), QStringLiteral("开始巡检"), 2000);
    // Nothing spins once the port is closed: a second of the event loop uses
    // a small part of a second of CPU.
    const double before = processCpuMs();
    QTest::qWait(1000);
    const double used = processCpuMs() - before;
    QVERIFY2(used < 300, qPrintable(QString::number(used)));
}

QTEST_MAIN(TestSerialPty)
#include "test_serial_pty.moc"
