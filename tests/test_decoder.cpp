#include "protocol/NumberText.h"
#include "record/CsvRecorder.h"
#include "supply/ReplyDecoder.h"
#include "support/PanelFixture.h"
#include "support/RecordedCsv.h"

#include <QLabel>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QtTest>

#include <cmath>

namespace {

// What a reply changes, by the control it lands in.
struct Expectation {
    const char* control;
    QString text;
};

} // namespace

class TestDecoder : public QObject {
    Q_OBJECT
private slots:
    void repliesByStep_data();
    void repliesByStep();
    void readOutTexts_data();
    void readOutTexts();
    void numberRepliesAgainstTheirDecimalValue();
    void recordingHoldsTheDecimalValue();
    void oneLinePerEvent();
    void numberBufferOverflowEmpties();
    void shortReplyIncompleteWaits();
    void channelReply();
    void garbledModeOrChannelSelectsNothing_data();
    void garbledModeOrChannelSelectsNothing();
    void valueStaysWithItsStepWhileScaling();
    void nestedReceiveDuringYield();
    void bufferStaysBounded();
    void infiniteValueShowsNothing();
    void reportedModeAlreadySelected();
    void lateReplyIsNotShownAsTheNextQuantity();
    void lostReplyCostsOneReading();
};

void TestDecoder::repliesByStep_data() {
    QTest::addColumn<int>("step");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("logged");    // empty: no reply line
    QTest::addColumn<QString>("leftWhole"); // buffer after a whole delivery

    QTest::newRow("1 measured voltage") << 1 << QByteArray("+1.23456E+01\r\n") << "ReadVolLab"
                                        << "12.3456"
                                        << "+1.23456E+01"
                                        << "";
    QTest::newRow("2 half an amp") << 2 << QByteArray("+5.00000E-01\r\n") << "ReadCurrentLab"
                                   << "0.5"
                                   << "+5.00000E-01"
                                   << "";
    QTest::newRow("3 negative half") << 3 << QByteArray("-5.00000E-01\r\n") << "CVLab"
                                     << "-0.5"
                                     << "-5.00000E-01"
                                     << "";
    QTest::newRow("4 zero") << 4 << QByteArray("+0.00000E+00\r\n") << "CCLab"
                            << "0"
                            << "+0.00000E+00"
                            << "";
    QTest::newRow("5 small") << 5 << QByteArray("+1.20000E-03\r\n") << "OVPLab"
                             << "0.0012"
                             << "+1.20000E-03"
                             << "";
    QTest::newRow("6 A mantissa") << 6 << QByteArray("+A.00000E+01\r\n") << "OCPLab"
                                  << "100"
                                  << "+A.00000E+01"
                                  << "";
    QTest::newRow("1 three hundred") << 1 << QByteArray("+3.00000E+02\r\n") << "ReadVolLab"
                                     << "300"
                                     << "+3.00000E+02"
                                     << "";
    QTest::newRow("2 negative") << 2 << QByteArray("-1.50000E+00\r\n") << "ReadCurrentLab"
                                << "-1.5"
                                << "-1.50000E+00"
                                << "";
    QTest::newRow("3 line of 13 dropped") << 3 << QByteArray("+1.2345E+01\r\n") << "CVLab"
                                          << "0"
                                          << ""
                                          << "";
    QTest::newRow("5 no sign") << 5 << QByteArray("X1.23456E+01\r\n") << "OVPLab"
                               << "0"
                               << "X1.23456E+01"
                               << "";
    QTest::newRow("4 no E") << 4 << QByteArray("+1.23456X+01\r\n") << "CCLab"
                            << "0.000"
                            << "+1.23456X+01"
                            << "";
    QTest::newRow("4 exponent not a number") << 4 << QByteArray("+1.23456E+x1\r\n") << "CCLab"
                                             << "0.000"
                                             << "+1.23456E+x1"
                                             << "";
    QTest::newRow("4 letter in mantissa") << 4 << QByteArray("+1.2x456E+01\r\n") << "CCLab"
                                          << "0.000"
                                          << "+1.2x456E+01"
                                          << "";
    QTest::newRow("4 two points") << 4 << QByteArray("+1.2.456E+01\r\n") << "CCLab"
                                  << "0.000"
                                  << "+1.2.456E+01"
                                  << "";
    QTest::newRow("5 blank in exponent") << 5 << QByteArray("+1.23456E+ 1\r\n") << "OVPLab"
                                         << "0"
                                         << "+1.23456E+ 1"
                                         << "";
    QTest::newRow("6 other exponent sign unscaled")
        << 6 << QByteArray("+1.23456E*01\r\n") << "OCPLab"
        << "1.23456"
        << "+1.23456E*01"
        << "";
    QTest::newRow("0 logged, no label") << 0 << QByteArray("+1.23456E+01\r\n") << "ReadVolLab"
                                        << "0"
                                        << "+1.23456E+01"
                                        << "";
    QTest::newRow("7 output on") << 7 << QByteArray("1\r\n") << "OutPutButton"
                                 << "关"
                                 << "1\r\n"
                                 << "";
    QTest::newRow("7 output off") << 7 << QByteArray("0\r\n") << "OutPutButton"
                                  << "开"
                                  << "0\r\n"
                                  << "";
    QTest::newRow("7 other state kept") << 7 << QByteArray("X\r\n") << "OutPutButton"
                                        << "开"
                                        << "X\r\n"
                                        << "X\r\n";
    QTest::newRow("17 version") << 17 << QByteArray("V1.06\r\n") << "LabVersion"
                                << "V1.06"
                                << "V1.06\r"
                                << "";
    QTest::newRow("17 three characters") << 17 << QByteArray("V12\r\n") << "LabVersion"
                                         << "V12"
                                         << "V12\r"
                                         << "";
    QTest::newRow("18 identification")
        << 18 << QByteArray("VELMOR,PSU-3005,SN000200,V1.06\r\n") << "LabSeries"
        << "VELMOR,PSU-3005,SN000200,V1.06"
        << "VELMOR,PSU-3005,SN000200,V1.06\r"
        << "";
    QTest::newRow("18 short identification waits")
        << 18 << QByteArray("VELMOR,PSU,1,V1.0\r\n") << "LabSeries"
        << ""
        << ""
        << "VELMOR,PSU,1,V1.0\r\n";
    QTest::newRow("18 without comma waits")
        << 18 << QByteArray("VELMOR PSU-3005 SN000200 V1.06\r\n") << "LabSeries"
        << ""
        << ""
        << "VELMOR PSU-3005 SN000200 V1.06\r\n";
    QTest::newRow("12 only grows the buffer")
        << 12 << QByteArray("+1.23456E+01\r\n") << "ReadVolLab"
        << "0"
        << ""
        << "+1.23456E+01\r\n";
    QTest::newRow("markup stays text") << 17 << QByteArray("<b>V1</b>\r\n") << "LabVersion"
                                       << "<b>V1</b>"
                                       << "<b>V1</b>\r"
                                       << "";
}

void TestDecoder::repliesByStep() {
    QFETCH(int, step);
    QFETCH(QByteArray, reply);
    QFETCH(QString, control);
    QFETCH(QString, shown);
    QFETCH(QString, logged);
    QFETCH(QString, leftWhole);
    for (int pieceSize : {int(reply.size()), 1}) {
        PanelFixture panel;
        panel.open();
        panel.atStep(qint16(step));
        panel.comm->receiveInPieces(reply, pieceSize);
        const QByteArray name = control.toLatin1();
        QCOMPARE(panel.text(name.constData()), shown);
        QCOMPARE(panel.window->trafficLog().text(),
                 logged.isEmpty() ? QString() : "\r\nRX<<:" + logged + "\r\n");
        QCOMPARE(panel.link.trafficLog().rxCount(), qint64(reply.size()));
        if (pieceSize == reply.size())
            QCOMPARE(panel.link.decoder().pending(), leftWhole);
        // Reading a reply never sends anything of its own here.
        QCOMPARE(panel.comm->writes.size(), 0);
    }
}

void TestDecoder::readOutTexts_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("negative");
    QTest::addColumn<QString>("text");
    QTest::newRow("scaled") << 1.23456 * 10 << false << "12.3456";
    QTest::newRow("below one") << 0.5 << false << "0.5";
    QTest::newRow("negative below one") << 0.5 << true << "-0.5";
    QTest::newRow("negative zero stays zero") << 0.0 << true << "0";
    QTest::newRow("tiny") << 0.0012 << false << "0.0012";
    QTest::newRow("whole") << 300.0 << false << "300";
}

void TestDecoder::readOutTexts() {
    QFETCH(double, value);
    QFETCH(bool, negative);
    QFETCH(QString, text);
    QCOMPARE(NumberText::readOutText(value, negative), text);
}

// Number replies drawn at random: a mantissa of digits with at most one
// point, or led by "A"s that stand for "10", filled with "E"s up to an
// exponent of either sign.
void TestDecoder::numberRepliesAgainstTheirDecimalValue() {
    static const char* const readOuts[] = {"ReadVolLab", "ReadCurrentLab", "CVLab",
                                           "CCLab",      "OVPLab",         "OCPLab"};
    PanelFixture panel;
    panel.open();
    QRandomGenerator random(20261207);
    for (int i = 0; i < 4000; ++i) {
        const int length = 1 + random.bounded(7);
        const bool tens = random.bounded(4) == 0;
        const int point = length > 1 ? random.bounded(length + 1) : length;
        QString mantissa;
        for (int k = 0; k < length; ++k)
            mantissa += tens && k == 0                   ? QChar(u'A')
                        : k == point                     ? QChar(u'.')
                        : tens && random.bounded(3) == 0 ? QChar(u'A')
                                                         : QChar(u'0' + random.bounded(10));
        const QString digits =
            tens ? QString(mantissa).replace(u'A', QStringLiteral("10")) : mantissa;
        const bool negative = random.bounded(2) == 1;
        const int exponent = random.bounded(-99, 100);
        panel.atStep(qint16(1 + i % 6));
        panel.comm->receive(QStringLiteral("%1%2E%3%4%5\r\n")
                                .arg(negative ? "-" : "+", mantissa, QString(7 - length, u'E'),
                                     exponent < 0 ? "-" : "+")
                                .arg(std::abs(exponent), 2, 10, QChar(u'0'))
                                .toLatin1());
        // The reading is the decimal number rounded once; the read-out shows
        // the mantissa scaled by ten once per exponent unit, as it always has.
        const double value = QStringLiteral("%1E%2").arg(digits).arg(exponent).toDouble();
        double shown = digits.toDouble();
        for (int k = 0; k < std::abs(exponent); ++k)
            shown = exponent < 0 ? shown / 10.0 : shown * 10.0;
        const QString text = QString::number(shown, 'g', 15).toUpper();
        QCOMPARE(panel.link.model().number(Quantity(i % 6)),
                 std::optional(negative && value != 0.0 ? -value : value));
        QCOMPARE(panel.text(readOuts[i % 6]), negative && shown != 0.0 ? u'-' + text : text);
    }
}

void TestDecoder::recordingHoldsTheDecimalValue() {
    PanelFixture panel;
    panel.open();
    QTemporaryDir dir;
    CsvRecorder& recorder = panel.window->controller().recorder();
    QVERIFY(recorder.start(dir.filePath("run.csv"), CsvRecorder::Existing::Refuse));
    panel.atStep(1);
    panel.comm->receive("+1.23456E+01\r\n");
    recorder.stop();
    const QStringList row = RecordedCsv::fields(RecordedCsv::lines(dir.filePath("run.csv")).last());
    QCOMPARE(row.at(RecordedCsv::column("measured_voltage_V")), QStringLiteral("12.3456"));
}

void TestDecoder::oneLinePerEvent() {
    PanelFixture panel;
    panel.open();
    panel.atStep(2);
    panel.comm->receive("+1.23456E+01\r\n+2.00000E-01\r\n");
    QCOMPARE(panel.text("ReadCurrentLab"), QStringLiteral("12.3456"));
    QCOMPARE(panel.link.state().query, QStringLiteral("MEASure:SCALar:CURRent:DC?CR"));
    QCOMPARE(panel.link.decoder().pending(), QStringLiteral("+2.00000E-01\r\n"));
    panel.comm->receive("");
    QCOMPARE(panel.text("ReadCurrentLab"), QStringLiteral("0.2"));
}

void TestDecoder::numberBufferOverflowEmpties() {
    PanelFixture panel;
    panel.open();
    panel.atStep(1);
    panel.comm->receive(QByteArray(140, 'x'));
    panel.comm->receive("+1.23456E+01\r\n");
    QVERIFY(panel.link.decoder().pending().isEmpty());
    QCOMPARE(panel.text("ReadVolLab"), QStringLiteral("0"));
}

void TestDecoder::shortReplyIncompleteWaits() {
    PanelFixture panel;
    panel.open();
    panel.atStep(17);
    panel.comm->receive("V1\r");
    QCOMPARE(panel.text("LabVersion"), QString());
    panel.comm->receive("\n");
    QCOMPARE(panel.text("LabVersion"), QStringLiteral("V1"));
}

void TestDecoder::channelReply() {
    PanelFixture panel;
    panel.open();
    panel.atStep(9);
    panel.comm->receive("2\r\n");
    QVERIFY(panel.find<QRadioButton>("Op2")->isChecked());
    QVERIFY(!panel.find<QRadioButton>("OP1")->isChecked());
    QCOMPARE(panel.link.model().channel(), 2);
    QCOMPARE(panel.takeWritten(), QStringLiteral("APPL 2CR"));
    QCOMPARE(panel.window->trafficLog().text(),
             QStringLiteral("\r\nRX<<:2\r\n\r\nTX>>:APPL 2CR\r\n"));
    QCOMPARE(int(panel.link.state().step), 9);
    // Already selected: nothing runs, nothing is sent.
    panel.comm->receive("2\r\n");
    QCOMPARE(panel.takeWritten(), QString());
    QVERIFY(panel.link.decoder().pending().isEmpty());
}

void TestDecoder::garbledModeOrChannelSelectsNothing_data() {
    QTest::addColumn<int>("step");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("mode error text") << 8 << QByteArray("ERR\r\n");
    QTest::newRow("mode noise") << 8 << QByteArray("\x7f\x01?\r\n");
    QTest::newRow("channel error text") << 9 << QByteArray("ERR\r\n");
    QTest::newRow("mode out of range") << 8 << QByteArray("7\r\n");
    QTest::newRow("channel zero") << 9 << QByteArray("0\r\n");
    QTest::newRow("mode with trailing noise") << 8 << QByteArray("1x\r\n");
    QTest::newRow("channel as a fraction") << 9 << QByteArray("1.5\r\n");
    QTest::newRow("mode with exponent") << 8 << QByteArray("1e0\r\n");
}

void TestDecoder::garbledModeOrChannelSelectsNothing() {
    QFETCH(int, step);
    QFETCH(QByteArray, reply);
    PanelFixture panel;
    panel.open();
    // A series-wired supply the panel knows as such.
    panel.find<QAbstractButton>("SERcmd")->click();
    panel.find<QAbstractButton>("Op2")->setEnabled(true);
    panel.find<QAbstractButton>("Op2")->click();
    panel.atStep(8);
    panel.comm->receive("2\r\n");
    panel.atStep(qint16(step));
    panel.comm->receive(reply);
    QVERIFY(panel.find<QRadioButton>("SERcmd")->isChecked());
    QVERIFY(panel.find<QRadioButton>("Op2")->isChecked());
    QCOMPARE(int(panel.link.state().mode), 2);
    QCOMPARE(panel.takeWritten(), QString());
    QVERIFY(panel.link.decoder().pending().isEmpty());
    QVERIFY(panel.window->trafficLog().text().startsWith("\r\nRX<<:"));
}

void TestDecoder::valueStaysWithItsStepWhileScaling() {
    PanelFixture panel;
    panel.open();
    panel.atStep(1);
    int yields = 0;
    // A tick that runs while the value is being scaled moves the step on.
    panel.window->eventYield().replace([&] {
        if (++yields == 2)
            panel.link.state().step = PollingStep(2);
    });
    panel.comm->receive("+1.00000E+03\r\n");
    QCOMPARE(yields, 5); // after logging, then once per factor of ten
    QCOMPARE(panel.text("ReadVolLab"), QStringLiteral("1000"));
    QCOMPARE(panel.text("ReadCurrentLab"), QStringLiteral("0.000"));
    QCOMPARE(panel.link.state().query, QStringLiteral("MEASure:SCALar:VOLTage:DC?CR"));
}

void TestDecoder::nestedReceiveDuringYield() {
    PanelFixture panel;
    panel.open();
    panel.atStep(3);
    bool delivered = false;
    panel.window->eventYield().replace([&] {
        if (!delivered) {
            delivered = true;
            panel.link.state().step = PollingStep(4);
            panel.comm->receive("+2.00000E+00\r\n");
        }
    });
    panel.comm->receive("+1.00000E+00\r\n");
    QCOMPARE(panel.text("CVLab"), QStringLiteral("1"));
    QCOMPARE(panel.text("CCLab"), QStringLiteral("2"));
    QCOMPARE(panel.link.trafficLog().rxCount(), qint64(28));
}

void TestDecoder::bufferStaysBounded() {
    PanelFixture panel;
    panel.open();
    panel.atStep(12);
    QByteArray flood;
    for (int i = 0; i < 2000; ++i)
        flood += "+1.23456E+01\r\n";
    flood += "END";
    panel.comm->receiveInPieces(flood, 700);
    QVERIFY(panel.link.decoder().pending().size() <= ReplyDecoder::MaxBuffer);
    QVERIFY(panel.link.decoder().pending().endsWith("END"));
    QCOMPARE(panel.link.trafficLog().rxCount(), qint64(flood.size()));
}

void TestDecoder::infiniteValueShowsNothing() {
    PanelFixture panel;
    panel.open();
    panel.atStep(1);
    panel.comm->receive("+1D30899E+01\r\n");
    QCOMPARE(panel.text("ReadVolLab"), QStringLiteral("0"));
    panel.comm->receive("+9.99999E+99\r\n");
    QCOMPARE(panel.text("ReadVolLab"), QStringLiteral("9.99999E+99"));
}

void TestDecoder::reportedModeAlreadySelected() {
    PanelFixture panel;
    panel.open();
    panel.atStep(8);
    panel.comm->receive("0\r\n");
    QCOMPARE(panel.takeWritten(), QString());
    QCOMPARE(panel.window->trafficLog().text(), QStringLiteral("\r\nRX<<:0\r\n\r\n"));
    QCOMPARE(int(panel.link.state().step), 8);
    QCOMPARE(panel.text("VOLSetLab"), QStringLiteral("电压设定(V):0 - 550"));
}

void TestDecoder::lateReplyIsNotShownAsTheNextQuantity() {
    PanelFixture panel;
    panel.open();
    panel.atStep(0);
    PollingCycle& polling = panel.window->polling();
    polling.SysTickTimer_Timer(); // step 1 asks for the voltage
    QCOMPARE(panel.takeWritten(), QStringLiteral("MEASure:SCALar:VOLTage:DC?CR"));
    // Unanswered: the next tick holds the cycle for one interval.
    polling.SysTickTimer_Timer();
    QCOMPARE(int(panel.link.state().step), 1);
    QCOMPARE(panel.takeWritten(), QString());
    panel.comm->receive("+1.20000E+01\r\n");
    QCOMPARE(panel.text("ReadVolLab"), QStringLiteral("12"));
    polling.SysTickTimer_Timer();
    QCOMPARE(int(panel.link.state().step), 2);
    QCOMPARE(panel.takeWritten(), QStringLiteral("MEASure:SCALar:CURRent:DC?CR"));
    panel.comm->receive("+8.50000E-01\r\n");
    QCOMPARE(panel.text("ReadCurrentLab"), QStringLiteral("0.85"));
}

void TestDecoder::lostReplyCostsOneReading() {
    PanelFixture panel;
    panel.open();
    panel.atStep(0);
    PollingCycle& polling = panel.window->polling();
    polling.SysTickTimer_Timer(); // step 1: never answered
    polling.SysTickTimer_Timer(); // held
    polling.SysTickTimer_Timer(); // step 2: the voltage is given up
    QCOMPARE(int(panel.link.state().step), 2);
    // The first line now may be the voltage, later than ever: not shown.
    panel.comm->receive("+1.20000E+01\r\n");
    QCOMPARE(panel.text("ReadCurrentLab"), QStringLiteral("0.000"));
    QCOMPARE(panel.text("ReadVolLab"), QStringLiteral("0"));
    // The current's own reply, right behind it, is shown.
    panel.comm->receive("+8.50000E-01\r\n");
    QCOMPARE(panel.text("ReadCurrentLab"), QStringLiteral("0.85"));
    // From then on every reply is read at once.
    polling.SysTickTimer_Timer(); // step 3
    panel.comm->receive("+1.25000E+01\r\n");
    QCOMPARE(panel.text("CVLab"), QStringLiteral("12.5"));
    polling.SysTickTimer_Timer(); // step 4
    panel.comm->receive("+1.50000E+00\r\n");
    QCOMPARE(panel.text("CCLab"), QStringLiteral("1.5"));
}

QTEST_MAIN(TestDecoder)
#include "test_decoder.moc"
