// What the operator types into a list stays as typed, and the log reads as
// one line per query and reply.
#include "app/LogView.h"
#include "support/PanelFixture.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QtTest>

class TestTypedText : public QObject {
    Q_OBJECT
private slots:
    void typedPortSettingsAreUsedAsTyped_data();
    void typedPortSettingsAreUsedAsTyped();
    void typedRatingSelectsNothing_data();
    void typedRatingSelectsNothing();
    void logLines_data();
    void logLines();
    void logViewAfterEmptying();
};

namespace {

// Types into the list with real key presses, then clicks the button, which
// takes the focus away from the list.
void typeThenClick(PanelFixture& panel, const char* list, const QString& keys, const char* button) {
    auto* combo = panel.find<QComboBox>(list);
    combo->setFocus();
    combo->lineEdit()->selectAll();
    QTest::keyClicks(combo, keys);
    QTest::mouseClick(panel.find<QAbstractButton>(button), Qt::LeftButton);
}

} // namespace

void TestTypedText::typedPortSettingsAreUsedAsTyped_data() {
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<QString>("status");
    // "com3" is no port number: only upper-case "COM" counts.
    QTest::newRow("lower-case port") << "CboCom"
                                     << "com3" << false << "STATUS：COM Port Cloced";
    QTest::newRow("port as listed") << "CboCom"
                                    << "COM3" << true << "STATUS：COM3 OPEND，9600,N,8,1";
    QTest::newRow("start of a baud rate") << "CboBaudrate"
                                          << "9" << true << "STATUS：COM3 OPEND，9,N,8,1";
    QTest::newRow("lower-case parity") << "CboParitybit"
                                       << "none" << true << "STATUS：COM3 OPEND，9600,n,8,1";
    QTest::newRow("stop bits") << "CboStopbit"
                               << "2" << true << "STATUS：COM3 OPEND，9600,N,8,2";
}

void TestTypedText::typedPortSettingsAreUsedAsTyped() {
    QFETCH(QString, list);
    QFETCH(QString, typed);
    QFETCH(bool, opens);
    QFETCH(QString, status);
    PanelFixture panel;
    panel.comm->presentPorts = {3};
    // COM1 is no port here: an unchanged port list fails the opening.
    panel.find<QComboBox>("CboCom")->setEditText(QStringLiteral("COM3"));
    panel.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel.window.get()));
    panel.window->activateWindow();
    typeThenClick(panel, qPrintable(list), typed, "CmdSwitch");
    QCOMPARE(panel.find<QComboBox>(qPrintable(list))->currentText(), typed);
    QCOMPARE(panel.comm->PortOpen(), opens);
    QCOMPARE(panel.boxes.size(), opens ? 0 : 1);
    QCOMPARE(panel.text("TxtStatus"), status);
}

void TestTypedText::typedRatingSelectsNothing_data() {
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("button");
    QTest::newRow("voltage") << "PowerTypeCombVol"
                             << "30"
                             << "VOLSetCmd";
    QTest::newRow("voltage, other case") << "PowerTypeCombVol"
                                         << "30  v"
                                         << "VOLSetCmd";
    QTest::newRow("current") << "PowerTypeCombCur"
                             << "3"
                             << "CURSetCmd";
}

void TestTypedText::typedRatingSelectsNothing() {
    QFETCH(QString, list);
    QFETCH(QString, typed);
    QFETCH(QString, button);
    PanelFixture panel;
    panel.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel.window.get()));
    panel.window->activateWindow();
    typeThenClick(panel, qPrintable(list), typed, "CmdClearCounter");
    auto* combo = panel.find<QComboBox>(qPrintable(list));
    QCOMPARE(combo->currentText(), typed);
    QCOMPARE(combo->currentIndex(), -1);
    QCOMPARE(combo->count(), list == "PowerTypeCombVol" ? RatingLimits::VoltageRatings.size()
                                                        : RatingLimits::CurrentRatings.size());
    // No rating was picked, so no limits and no set button.
    QVERIFY(!panel.find<QAbstractButton>(qPrintable(button))->isEnabled());
}

void TestTypedText::logLines_data() {
    QTest::addColumn<QStringList>("pieces");
    QTest::addColumn<QString>("shown");
    QTest::newRow("query and reply")
        << QStringList{"TX>>:APPL?CR\n", "\r\nRX<<:1\r\n"} << "TX>>:APPL?CR\nRX<<:1\n";
    QTest::newRow("command and reply keep their empty line")
        << QStringList{"TX>>:APPL 2CR\r\n", "\r\nRX<<:1\r\n"} << "TX>>:APPL 2CR\n\nRX<<:1\n";
    QTest::newRow("unanswered queries, a line each")
        << QStringList{"TX>>:A\n", "TX>>:B\n", "TX>>:C\n"} << "TX>>:A\nTX>>:B\nTX>>:C";
    QTest::newRow("line feed and reply in one piece")
        << QStringList{"TX>>:A\n\r\nRX<<:+1.2\r\nTX>>:B\n"} << "TX>>:A\nRX<<:+1.2\nTX>>:B";
    QTest::newRow("reply cut between CR and LF")
        << QStringList{"TX>>:A\n\r", "\nRX<<:V1\r", "\r\n"} << "TX>>:A\nRX<<:V1\n";
    QTest::newRow("a CR without LF breaks nothing")
        << QStringList{"TX>>:A\n", "\rX\r\n"} << "TX>>:A\nX\n";
}

void TestTypedText::logLines() {
    QFETCH(QStringList, pieces);
    QFETCH(QString, shown);
    LogLines lines;
    QString all;
    for (const QString& piece : pieces)
        all += lines.take(piece);
    QCOMPARE(all, shown);
}

void TestTypedText::logViewAfterEmptying() {
    PanelFixture panel;
    panel.open();
    panel.atStep(8);
    auto* view = panel.find<QPlainTextEdit>("TxtReceive");
    panel.tickAnswered();
    QTRY_COMPARE_WITH_TIMEOUT(view->toPlainText(), QStringLiteral("TX>>:APPL?CR"), 2000);
    // The held line end of that query does not outlive the emptied log.
    panel.window->Command1_Click();
    panel.tickAnswered();
    QTRY_COMPARE_WITH_TIMEOUT(view->toPlainText(), QStringLiteral("TX>>:APPL?CR"), 2000);
    QCOMPARE(panel.window->trafficLog().text(), QStringLiteral("TX>>:APPL?CR\n"));
}

QTEST_MAIN(TestTypedText)
#include "test_typed_text.moc"
