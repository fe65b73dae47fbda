#include "protocol/NumberText.h"
#include "serial/LineSettings.h"
#include "serial/PortDirectory.h"

#include <QLocale>
#include <QtTest>

#include <clocale>
#include <cmath>
#include <limits>

using namespace NumberText;

class TestNumberText : public QObject {
    Q_OBJECT
private slots:
    void leadingNumber_data();
    void leadingNumber();
    void leadingNumberOutOfRange();
    void digitsFound();
    void roundsHalvesToEven_data();
    void roundsHalvesToEven();
    void int16Conversions();
    void decimalForms_data();
    void decimalForms();
    void decimalFormsRoundTrip();
    void decimalTiesRoundToEven_data();
    void decimalTiesRoundToEven();
    void parsedDecimals_data();
    void parsedDecimals();
    void portNumbers_data();
    void portNumbers();
    void lineSettings_data();
    void lineSettings();
    void independentOfLocale();
};

void TestNumberText::leadingNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("decimal") << "12.5" << 12.5;
    QTest::newRow("blank inside") << "1 2" << 12.0;
    QTest::newRow("unit after") << "12V" << 12.0;
    QTest::newRow("comma stops") << "1,5" << 1.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("no digits") << "abc" << 0.0;
    QTest::newRow("point first") << ".5" << 0.5;
    QTest::newRow("lone point") << "." << 0.0;
    QTest::newRow("trailing point") << "5." << 5.0;
    QTest::newRow("second point stops") << "1.2.3" << 1.2;
    QTest::newRow("plus sign") << "+7" << 7.0;
    QTest::newRow("minus sign") << "-0.25" << -0.25;
    QTest::newRow("sign alone") << "-" << 0.0;
    QTest::newRow("exponent") << "1e1" << 10.0;
    QTest::newRow("exponent D") << "2D2" << 200.0;
    QTest::newRow("exponent d negative") << "5d-1" << 0.5;
    QTest::newRow("exponent signed") << "+1.23456E+01" << 12.3456;
    QTest::newRow("exponent without digits") << "3E" << 3.0;
    QTest::newRow("exponent sign without digits") << "3E+x" << 3.0;
    QTest::newRow("tabs and line feeds skipped") << "\t1\n2 .\t5" << 12.5;
    QTest::newRow("carriage return stops") << "4\r5" << 4.0;
    QTest::newRow("reply line") << "2\r\n" << 2.0;
    QTest::newRow("hexadecimal") << "&HFF" << 255.0;
    QTest::newRow("hexadecimal 16-bit wraps") << "&HFFFF" << -1.0;
    QTest::newRow("hexadecimal 32-bit") << "&H10000" << 65536.0;
    QTest::newRow("octal") << "&O17" << 15.0;
    QTest::newRow("ampersand alone") << "&" << 0.0;
    QTest::newRow("hexadecimal without digits") << "&Hxyz" << 0.0;
    QTest::newRow("non-ASCII stops") << QString::fromUtf8("3伏") << 3.0;
    QTest::newRow("full-width digit stops") << QString::fromUtf8("１") << 0.0;
}

void TestNumberText::leadingNumber() {
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(NumberText::leadingNumber(text), value);
}

void TestNumberText::leadingNumberOutOfRange() {
    QVERIFY(std::isinf(NumberText::leadingNumber(u"1e999")));
    QVERIFY(NumberText::leadingNumber(u"1e999") > 0);
    QVERIFY(std::isinf(NumberText::leadingNumber(u"-9D400")));
    QVERIFY(NumberText::leadingNumber(u"-9D400") < 0);
    QCOMPARE(NumberText::leadingNumber(u"1e-999"), 0.0);
    QCOMPARE(NumberText::leadingNumber(u"0.000001e-400"), 0.0);
    QVERIFY(std::isinf(NumberText::leadingNumber(u"&H123456789")));
    // A very long exponent must neither overflow nor take long.
    QVERIFY(std::isinf(NumberText::leadingNumber(QStringLiteral("1e") + QString(5000, u'9'))));
    QCOMPARE(NumberText::leadingNumber(QStringLiteral("0.") + QString(400, u'0') +
                                       QStringLiteral("1e400")),
             0.1);
}

void TestNumberText::digitsFound() {
    bool found = true;
    NumberText::leadingNumber(u"ERR", &found);
    QVERIFY(!found);
    NumberText::leadingNumber(u"0\r\n", &found);
    QVERIFY(found);
    NumberText::leadingNumber(u"-.", &found);
    QVERIFY(!found);
    NumberText::leadingNumber(u"&H", &found);
    QVERIFY(!found);
}

void TestNumberText::roundsHalvesToEven_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("rounded");
    QTest::newRow("0.5") << 0.5 << 0.0;
    QTest::newRow("1.5") << 1.5 << 2.0;
    QTest::newRow("2.5") << 2.5 << 2.0;
    QTest::newRow("3.5") << 3.5 << 4.0;
    QTest::newRow("-2.5") << -2.5 << -2.0;
    QTest::newRow("-1.5") << -1.5 << -2.0;
    QTest::newRow("2.4999") << 2.4999 << 2.0;
    QTest::newRow("2.5001") << 2.5001 << 3.0;
    QTest::newRow("whole") << 7.0 << 7.0;
}

void TestNumberText::roundsHalvesToEven() {
    QFETCH(double, value);
    QFETCH(double, rounded);
    QCOMPARE(roundHalfEven(value), rounded);
}

void TestNumberText::int16Conversions() {
    QCOMPARE(toInt16(32767.4).value(), qint16(32767));
    QVERIFY(!toInt16(32767.5));
    QCOMPARE(toInt16(-32768.5).value(), qint16(-32768));
    QVERIFY(!toInt16(-32769));
    QVERIFY(!toInt16(std::numeric_limits<double>::infinity()));
    QVERIFY(!toInt16(std::nan("")));
    QCOMPARE(wholeTextToInt16(u"1.5").value(), qint16(2));
    QCOMPARE(wholeTextToInt16(u" 8 ").value(), qint16(8));
    QVERIFY(!wholeTextToInt16(u"eight"));
    QVERIFY(!wholeTextToInt16(u"8V"));
    QVERIFY(!wholeTextToInt16(u""));
    QVERIFY(!wholeTextToInt16(u"40000"));
    QVERIFY(!wholeTextToInt16(u"1 2"));
    QVERIFY(!wholeTextToInt16(u"1e"));
    QVERIFY(!wholeTextToInt16(u"."));
    QVERIFY(!wholeTextToInt16(u"inf"));
    QVERIFY(!wholeTextToInt16(u"1.2.3"));
    QVERIFY(!wholeTextToInt16(u"+-1"));
    QCOMPARE(wholeTextToInt16(u"1D2").value(), qint16(100));
    QCOMPARE(wholeTextToInt16(u"-.5e+1").value(), qint16(-5));
    QVERIFY(!wholeTextToInt16(u"1e999"));
    QCOMPARE(wholeTextToInt16(u"2D0").value(), qint16(2));
    QCOMPARE(wholeTextToInt16(u"-.5").value(), qint16(0));
    // Too small for a double is 0, as the leading-number rule reads it.
    QCOMPARE(wholeTextToInt16(u"             1e-400").value(), qint16(0));
}

void TestNumberText::decimalForms_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QString>("blank");
    QTest::addColumn<QString>("compact");
    QTest::newRow("zero") << 0.0 << "0"
                          << " 0"
                          << "0";
    QTest::newRow("negative zero") << -0.0 << "0"
                                   << " 0"
                                   << "0";
    QTest::newRow("0.105") << 0.105 << "0.105"
                           << " .105"
                           << "0.105";
    QTest::newRow("12.5") << 12.5 << "12.5"
                          << " 12.5"
                          << "12.5";
    QTest::newRow("0.5") << 0.5 << "0.5"
                         << " .5"
                         << "0.5";
    QTest::newRow("-0.5") << -0.5 << "-0.5"
                          << "-.5"
                          << "-.5";
    QTest::newRow("31.5") << 31.5 << "31.5"
                          << " 31.5"
                          << "31.5";
    QTest::newRow("whole") << 1100.0 << "1100"
                           << " 1100"
                           << "1100";
    QTest::newRow("0.0001 stays plain") << 0.0001 << "0.0001"
                                        << " .0001"
                                        << "0.0001";
    QTest::newRow("0.00001") << 0.00001 << "1E-05"
                             << " 1E-05"
                             << "1E-05";
    QTest::newRow("small with digits") << 0.0000123 << "1.23E-05"
                                       << " 1.23E-05"
                                       << "1.23E-05";
    QTest::newRow("below 1E15") << 999999999999999.0 << "999999999999999"
                                << " 999999999999999"
                                << "999999999999999";
    QTest::newRow("1E15") << 1e15 << "1E+15"
                          << " 1E+15"
                          << "1E+15";
    QTest::newRow("large exponent") << -2.5e200 << "-2.5E+200"
                                    << "-2.5E+200"
                                    << "-2.5E+200";
    QTest::newRow("15 significant digits") << 385.00000000000006 << "385"
                                           << " 385"
                                           << "385";
    QTest::newRow("scaled reply") << 1.23456 * 10 << "12.3456"
                                  << " 12.3456"
                                  << "12.3456";
    QTest::newRow("rounds up to a new order") << 0.99999999999999999 << "1"
                                              << " 1"
                                              << "1";
    QTest::newRow("largest double") << std::numeric_limits<double>::max() << "1.79769313486231E+308"
                                    << " 1.79769313486231E+308"
                                    << "1.79769313486231E+308";
    QTest::newRow("one third") << 1.0 / 3 << "0.333333333333333"
                               << " .333333333333333"
                               << "0.333333333333333";
}

void TestNumberText::decimalForms() {
    QFETCH(double, value);
    QFETCH(QString, plain);
    QFETCH(QString, blank);
    QFETCH(QString, compact);
    QCOMPARE(plainDecimal(value), plain);
    QCOMPARE(blankPrefixed(value), blank);
    QCOMPARE(compactDecimal(value), compact);
}

void TestNumberText::decimalFormsRoundTrip() {
    // The text a setpoint goes out as reads back as the same number to 15
    // significant digits, whatever its size.
    const double values[] = {-std::numeric_limits<double>::max(),
                             0.0,
                             1e-300,
                             3.14159265358979,
                             -42.125,
                             6.02214076e23,
                             1e-5,
                             0.000123456789012345,
                             123456.789};
    for (double value : values) {
        const double back = NumberText::leadingNumber(plainDecimal(value));
        QVERIFY2(std::abs(back - value) <= std::abs(value) * 1e-14,
                 qPrintable(plainDecimal(value)));
        QCOMPARE(plainDecimal(back), plainDecimal(value));
    }
}

// A value that lies exactly halfway between two 15-digit decimals goes to the
// one whose last digit is even, as the 16-bit conversions round their halves
// and as the C library prints: an argument on the wire, an entry and a
// read-out do not depend on which conversion library the program carries.
void TestNumberText::decimalTiesRoundToEven_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("plain");
    QTest::newRow("fuzz finding, even stays") << 999868388517062.5 << "999868388517062";
    QTest::newRow("odd goes up") << 999868388517063.5 << "999868388517064";
    QTest::newRow("negative tie") << -999868388517062.5 << "-999868388517062";
    QTest::newRow("just above the tie") << 999868388517062.625 << "999868388517063";
    QTest::newRow("carry into a new order") << 999999999999999.5 << "1E+15";
    QTest::newRow("whole number tie") << 1000000000000005.0 << "1E+15";
    QTest::newRow("whole number tie, odd") << 1000000000000015.0 << "1.00000000000002E+15";
    QTest::newRow("power of two below 1") << std::ldexp(1.0, -22) << "2.38418579101562E-07";
}

void TestNumberText::decimalTiesRoundToEven() {
    QFETCH(double, value);
    QFETCH(QString, plain);
    QCOMPARE(plainDecimal(value), plain);
    const QString magnitude = plain.startsWith(u'-') ? plain.mid(1) : plain;
    QCOMPARE(readOutText(std::abs(value), value < 0), plain);
    QCOMPARE(blankPrefixed(std::abs(value)), u' ' + magnitude);
}

// What a recording, a list file, a script argument and --rating accept as a
// number, and what they refuse (nothing is read as 0).
void TestNumberText::parsedDecimals_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    const double refused = std::nan("");
    const std::pair<const char*, double> rows[] = {
        {"12.5", 12.5},    {"-0.25", -0.25},  {"+3", 3.0},        {".5", 0.5},
        {"5.", 5.0},       {"1.5E3", 1500.0}, {"2e-2", 0.02},     {"1e400", refused},
        {"1D2", refused},  {"", refused},     {".", refused},     {"-", refused},
        {"1e", refused},   {"e5", refused},   {"1.2.3", refused}, {" 1", refused},
        {"1 ", refused},   {"1,5", refused},  {"inf", refused},   {"nan", refused},
        {"0x10", refused}, {"+-1", refused}};
    for (const auto& [text, value] : rows)
        QTest::newRow(text) << QString::fromLatin1(text) << value;
    QTest::newRow("65 characters") << QString(65, u'1') << refused;
}

void TestNumberText::parsedDecimals() {
    QFETCH(QString, text);
    QFETCH(double, value);
    const std::optional<double> parsed = parseDecimal(text);
    if (std::isnan(value))
        QVERIFY2(!parsed, qPrintable(QString::number(parsed.value_or(0))));
    else
        QCOMPARE(parsed.value(), value);
}

void TestNumberText::portNumbers_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("port");
    QTest::newRow("COM 7") << "COM 7" << 7;
    QTest::newRow("7") << "7" << 7;
    QTest::newRow("lower case") << "com7" << 0;
    QTest::newRow("COM3.5") << "COM3.5" << 4;
    QTest::newRow("COM2.5") << "COM2.5" << 2;
    QTest::newRow("COMx") << "COMx" << 0;
    QTest::newRow("COM12") << "COM12" << 12;
    QTest::newRow("COMCOM5") << "COMCOM5" << 5;
    QTest::newRow("COM255") << "COM255" << 255;
    QTest::newRow("COM256 does not fit") << "COM256" << 0;
    QTest::newRow("COM300") << "COM300" << 0;
    QTest::newRow("COM-1") << "COM-1" << 0;
    QTest::newRow("COM1e999") << "COM1e999" << 0;
    QTest::newRow("empty") << "" << 0;
}

void TestNumberText::portNumbers() {
    QFETCH(QString, text);
    QFETCH(int, port);
    QCOMPARE(int(portNumberFromText(text)), port);
}

void TestNumberText::lineSettings_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("default") << "9600,N,8,1" << true;
    QTest::newRow("odd lower case") << "19200,o,7,2" << true;
    QTest::newRow("even") << "300,E,5,1" << true;
    QTest::newRow("space mark") << "256000,S,6,1" << true;
    QTest::newRow("custom baud") << "12345,M,8,1" << true;
    QTest::newRow("zero baud") << "0,N,8,1" << false;
    QTest::newRow("negative baud") << "-9600,N,8,1" << false;
    QTest::newRow("word baud") << "fast,N,8,1" << false;
    QTest::newRow("fractional baud") << "9600.5,N,8,1" << false;
    QTest::newRow("huge baud") << "99999999999,N,8,1" << false;
    QTest::newRow("bad parity") << "9600,X,8,1" << false;
    QTest::newRow("empty parity") << "9600,,8,1" << false;
    QTest::newRow("four data bits") << "9600,N,4,1" << false;
    QTest::newRow("nine data bits") << "9600,N,9,1" << false;
    QTest::newRow("three stop bits") << "9600,N,8,3" << false;
    QTest::newRow("too few fields") << "9600,N,8" << false;
    QTest::newRow("too many fields") << "9600,N,8,1,1" << false;
}

void TestNumberText::lineSettings() {
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QCOMPARE(LineSettings::parse(text).has_value(), accepted);
}

void TestNumberText::independentOfLocale() {
    // A German locale writes and reads "," as the decimal point; none of the
    // panel's numbers may follow it.
    const char* german = std::setlocale(LC_ALL, "de_DE.UTF-8");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(plainDecimal(12.5), QStringLiteral("12.5"));
    QCOMPARE(blankPrefixed(0.5), QStringLiteral(" .5"));
    QCOMPARE(NumberText::leadingNumber(u"12.5"), 12.5);
    QCOMPARE(NumberText::leadingNumber(u"12,5"), 12.0);
    QCOMPARE(wholeTextToInt16(u"1.5").value(), qint16(2));
    QLocale::setDefault(QLocale::c());
    std::setlocale(LC_ALL, "C");
    if (!german)
        qInfo("de_DE.UTF-8 is not installed; checked under Qt's German locale only");
}

QTEST_GUILESS_MAIN(TestNumberText)
#include "test_number_text.moc"
