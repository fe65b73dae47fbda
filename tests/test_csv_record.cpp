#include "record/CsvExport.h"
#include "record/CsvFormat.h"
#include "record/CsvReader.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

const char kHeader[] = "time,reading,measured_voltage_V,measured_current_A,set_voltage_V,"
                       "set_current_A,ovp_V,ocp_A,output,mode,channel,event\n";

// A recording as the recorder writes it: an event row with a quoted comma,
// the first readings with the columns still empty, the offsets of three
// places, a lost port.
const char kRecording[] =
    "2026-12-07T15:31:00.000+01:00,,,,,,,,,,,\"recording started COM3 9600,N,8,1\"\n"
    "2026-12-07T15:31:00.500+01:00,measured_voltage_V,12.5,,,,,,,,,\n"
    "2026-12-07T14:31:01.000Z,measured_current_A,12.5,0.123,,,,,,,,\n"
    "2026-12-07T20:01:01.500+05:30,set_voltage_V,12.5,0.123,12.5,,,,,,,\n"
    "2026-12-07T15:31:03.500+01:00,output,12.5,0.123,12.5,,,,off,,,\n"
    "2026-12-07T15:31:04.000+01:00,mode,12.5,0.123,12.5,,,,off,series,,\n"
    "2026-12-07T15:31:04.500+01:00,channel,12.5,0.123,12.5,,,,off,series,2,\n"
    "2026-12-07T09:31:09.000-05:00,measured_voltage_V,1e-05,0.123,12.5,,,,off,series,2,\n"
    "2026-12-07T15:31:10.000+01:00,,1e-05,0.123,12.5,,,,off,series,2,port lost\n";

qint64 at(const char* text) {
    return QDateTime::fromString(QString::fromLatin1(text), Qt::ISODateWithMs).toMSecsSinceEpoch();
}

CsvReader::Result readText(const QByteArray& text) {
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    return CsvReader::read(buffer);
}

QByteArray exportText(const ReadingHistory& history) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!CsvExport::write(history, buffer))
        return QByteArray();
    return buffer.data();
}

// A history with values whose shortest text is long, every kind of column,
// readings of equal times and events between them.
std::unique_ptr<ReadingHistory> trickyHistory() {
    auto history = std::make_unique<ReadingHistory>(CsvReader::fileLimits());
    const qint64 t0 = at("2026-07-01T23:59:59.999+02:00");
    const double numbers[] = {0.1 + 0.2, 1e-7,  -0.0,  123456789.123456789, 5e-324,
                              31.5,      -12.5, 1e300, 2.0 / 3.0,           0};
    int k = 0;
    for (double value : numbers) {
        for (int q = 0; q <= int(Quantity::OverCurrent); ++q)
            history->addPoint(Quantity(q), t0 + k * 500, value * (q + 1));
        history->addPoint(Quantity::Output, t0 + k * 500, k % 2);
        history->addPoint(Quantity::Mode, t0 + k * 500 + 1, k % 3);
        history->addPoint(Quantity::Channel, t0 + k * 500 + 2, 1 + k % 2);
        if (k % 4 == 1)
            history->addEvent(t0 + k * 500, k == 1 ? QStringLiteral("recording started COM3 "
                                                                    "9600,N,8,1 \"quoted\"")
                                                   : QStringLiteral("port closed"));
        ++k;
    }
    return history;
}

void compareHistories(const ReadingHistory& actual, const ReadingHistory& expected) {
    for (int q = 0; q < ReadingHistory::QuantityCount; ++q) {
        const auto& a = actual.points(Quantity(q));
        const auto& e = expected.points(Quantity(q));
        QCOMPARE(a.size(), e.size());
        for (size_t k = 0; k < a.size(); ++k) {
            QCOMPARE(a[k].msecs, e[k].msecs);
            // Bit for bit, the sign of zero included.
            QCOMPARE(QByteArray::number(a[k].value, 'g', 17),
                     QByteArray::number(e[k].value, 'g', 17));
            QCOMPARE(std::signbit(a[k].value), std::signbit(e[k].value));
        }
    }
    QCOMPARE(actual.events().size(), expected.events().size());
    for (size_t k = 0; k < actual.events().size(); ++k) {
        QCOMPARE(actual.events()[k].msecs, expected.events()[k].msecs);
        QCOMPARE(actual.events()[k].text, expected.events()[k].text);
    }
}

} // namespace

class TestCsvRecord : public QObject {
    Q_OBJECT
private slots:
    void readsARecording();
    void malformedLineIsSkippedAndCounted_data();
    void malformedLineIsSkippedAndCounted();
    void foreignFileIsRefused_data();
    void foreignFileIsRefused();
    void linesEndedByCrLfAndAMarkRead();
    void lastLineWithoutItsEnd_data();
    void lastLineWithoutItsEnd();
    void lineLengthBound_data();
    void lineLengthBound();
    void exportReadsBackInAnyLocale_data();
    void exportReadsBackInAnyLocale();
    void exportRowsCarryTheLatestValues();
    void timeTextHasTheLocalOffset_data();
    void timeTextHasTheLocalOffset();
    void exportToAFolderThatIsNotThereFails();
    void cleanup() { QLocale::setDefault(QLocale::c()); }
};

void TestCsvRecord::readsARecording() {
    const auto result = readText(QByteArray(kHeader) + kRecording);
    QVERIFY(result.error.isEmpty());
    QCOMPARE(result.rows, 9);
    QCOMPARE(result.malformed, 0);
    const ReadingHistory& h = *result.history;
    // Each row brings only the column it names, at its own time, whatever
    // the other columns repeat.
    const auto& volts = h.points(Quantity::MeasuredVoltage);
    QCOMPARE(volts.size(), size_t(2));
    QCOMPARE(volts[0].msecs, at("2026-12-07T15:31:00.500+01:00"));
    QCOMPARE(volts[0].value, 12.5);
    QCOMPARE(volts[1].msecs, at("2026-12-07T15:31:09.000+01:00"));
    QCOMPARE(volts[1].value, 1e-05);
    QCOMPARE(h.points(Quantity::MeasuredCurrent).front().msecs,
             at("2026-12-07T15:31:01.000+01:00"));
    QCOMPARE(h.points(Quantity::SetVoltage).front().msecs, at("2026-12-07T15:31:01.500+01:00"));
    QCOMPARE(h.points(Quantity::SetCurrent).size(), size_t(0));
    QCOMPARE(h.points(Quantity::Output).front().value, 0.0);
    QCOMPARE(h.points(Quantity::Mode).front().value, double(TrackingMode::Series));
    QCOMPARE(h.points(Quantity::Channel).front().value, 2.0);
    QCOMPARE(h.events().size(), size_t(2));
    QCOMPARE(h.events().front().text, QStringLiteral("recording started COM3 9600,N,8,1"));
    QCOMPARE(h.events().back().text, QStringLiteral("port lost"));
    QCOMPARE(h.events().back().msecs, at("2026-12-07T15:31:10.000+01:00"));
}

void TestCsvRecord::malformedLineIsSkippedAndCounted_data() {
    QTest::addColumn<QByteArray>("line");
    const QByteArray t = "2026-12-07T15:31:05.000+01:00";
    QTest::newRow("too few fields") << t + ",measured_voltage_V,12.5,,,,,,,,";
    QTest::newRow("too many fields") << t + ",measured_voltage_V,12.5,,,,,,,,,,";
    QTest::newRow("comma as decimal point") << t + ",measured_voltage_V,\"12,5\",,,,,,,,,";
    QTest::newRow("blank before number") << t + ",measured_voltage_V, 12.5,,,,,,,,,";
    QTest::newRow("number too large") << t + ",measured_voltage_V,1e400,,,,,,,,,";
    QTest::newRow("nan") << t + ",measured_voltage_V,nan,,,,,,,,,";
    QTest::newRow("inf") << t + ",measured_voltage_V,inf,,,,,,,,,";
    QTest::newRow("wide digits") << t + ",measured_voltage_V,\xef\xbc\x91\xef\xbc\x92,,,,,,,,,";
    QTest::newRow("bad number in another column") << t + ",measured_voltage_V,12.5,x,,,,,,,,";
    QTest::newRow("named column empty") << t + ",measured_current_A,12.5,,,,,,,,,";
    QTest::newRow("unknown column") << t + ",voltage,12.5,,,,,,,,,";
    QTest::newRow("reading and event") << t + ",measured_voltage_V,12.5,,,,,,,,,port lost";
    QTest::newRow("neither reading nor event") << t + ",,12.5,,,,,,,,,";
    QTest::newRow("output ON") << t + ",output,,,,,,,ON,,,";
    QTest::newRow("mode unknown") << t + ",mode,,,,,,,,tracking,,";
    QTest::newRow("channel 3") << t + ",channel,,,,,,,,,3,";
    QTest::newRow("no milliseconds") << QByteArray("2026-12-07T15:31:05+01:00,output,,,,,,,on,,,");
    QTest::newRow("no offset") << QByteArray("2026-12-07T15:31:05.000,output,,,,,,,on,,,");
    QTest::newRow("month 13") << QByteArray("2026-13-07T15:31:05.000+01:00,output,,,,,,,on,,,");
    QTest::newRow("hour 24") << QByteArray("2026-12-07T24:31:05.000+01:00,output,,,,,,,on,,,");
    QTest::newRow("offset 25 h") << QByteArray("2026-12-07T15:31:05.000+25:00,output,,,,,,,on,,,");
    QTest::newRow("date as the locale writes it")
        << QByteArray("07.12.2026 15:31:05,output,,,,,,,on,,,");
    QTest::newRow("unclosed quote") << t + ",,,,,,,,,,,\"port lost";
    QTest::newRow("text after quote") << t + ",,,,,,,,,,,\"port\" lost";
    QTest::newRow("quote inside field") << t + ",,,,,,,,,,,port \"lost\"";
    QTest::newRow("quoted event, a field short") << t + ",,,,,,,,,,\"port lost\"";
    QTest::newRow("empty line") << QByteArray();
    QTest::newRow("binary") << QByteArray("\x00\x01\xff\xfe,\x80", 6);
    QTest::newRow("very long line") << t + ",,,,,,,,,,," + QByteArray(100000, 'x');
}

void TestCsvRecord::malformedLineIsSkippedAndCounted() {
    QFETCH(QByteArray, line);
    const QByteArray good1 = "2026-12-07T15:31:04.500+01:00,measured_voltage_V,12.5,,,,,,,,,\n";
    const QByteArray good2 = "2026-12-07T15:31:05.500+01:00,measured_voltage_V,12.75,,,,,,,,,\n";
    const auto result = readText(kHeader + good1 + line + '\n' + good2 + line + '\n' + good1);
    QVERIFY(result.error.isEmpty());
    QCOMPARE(result.rows, 5);
    QCOMPARE(result.malformed, 2);
    QCOMPARE(result.malformedLines, (QList<qint64>{3, 5}));
    const auto& volts = result.history->points(Quantity::MeasuredVoltage);
    QCOMPARE(volts.size(), size_t(3));
    QCOMPARE(volts[2].value, 12.75);
    QVERIFY(result.history->events().empty());
    for (int q = 1; q < ReadingHistory::QuantityCount; ++q)
        QVERIFY(result.history->points(Quantity(q)).empty());
}

void TestCsvRecord::foreignFileIsRefused_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("another header")
        << QByteArray("time,reading,voltage,current\n2026-12-07T15:31:04.500+01:00,voltage,1,2\n");
    QTest::newRow("header with blanks") << QByteArray(kHeader).replace(",", ", ") + kRecording;
    QTest::newRow("no header") << QByteArray(kRecording);
    QTest::newRow("binary") << QByteArray(5000, '\0');
}

void TestCsvRecord::foreignFileIsRefused() {
    QFETCH(QByteArray, text);
    const auto result = readText(text);
    QVERIFY(!result.history);
    QVERIFY(!result.error.isEmpty());
}

void TestCsvRecord::linesEndedByCrLfAndAMarkRead() {
    QByteArray text = QByteArray("\xEF\xBB\xBF") + kHeader + kRecording;
    text.replace("\n", "\r\n");
    const auto result = readText(text);
    QVERIFY(result.error.isEmpty());
    QCOMPARE(result.malformed, 0);
    QCOMPARE(result.history->points(Quantity::MeasuredVoltage).size(), size_t(2));
    QCOMPARE(result.history->events().back().text, QStringLiteral("port lost"));
}

// A file whose last line has no line end, as an editor may leave it: the
// line reads as any other, a CR before the end included.
void TestCsvRecord::lastLineWithoutItsEnd_data() {
    QTest::addColumn<QByteArray>("end");
    QTest::newRow("LF file") << QByteArray("\n");
    QTest::newRow("CR LF file") << QByteArray("\r\n");
    QTest::newRow("CR LF file, CR left at the end") << QByteArray("\r");
}

void TestCsvRecord::lastLineWithoutItsEnd() {
    QFETCH(QByteArray, end);
    QByteArray text = QByteArray(kHeader) + kRecording;
    text.replace("\n", "\r\n");
    if (end == "\n")
        text.replace("\r\n", "\n");
    text.chop(end == "\r" ? 1 : end.size());
    const auto result = readText(text);
    QCOMPARE(result.malformed, 0);
    QCOMPARE(result.history->events().back().text, QStringLiteral("port lost"));
}

// The bound is on a line's text, whatever ends it, so that one row reads
// alike at the end of a file and before another.
void TestCsvRecord::lineLengthBound_data() {
    QTest::addColumn<int>("length");
    QTest::addColumn<QByteArray>("end");
    QTest::addColumn<bool>("kept");
    for (const QByteArray& end : {QByteArray("\n"), QByteArray("\r\n"), QByteArray()}) {
        const QByteArray name = end == "\n" ? "LF" : end.isEmpty() ? "last" : "CR LF";
        QTest::newRow(name + " at the bound") << CsvReader::MaxLineChars << end << true;
        QTest::newRow(name + " one past") << CsvReader::MaxLineChars + 1 << end << false;
        QTest::newRow(name + " two past") << CsvReader::MaxLineChars + 2 << end << false;
    }
}

void TestCsvRecord::lineLengthBound() {
    QFETCH(int, length);
    QFETCH(QByteArray, end);
    QFETCH(bool, kept);
    QByteArray row = "2026-12-07T15:31:05.000+01:00,,,,,,,,,,,";
    row += QByteArray(length - row.size(), 'x');
    const auto result = readText(QByteArray(kHeader) + row + end);
    QCOMPARE(result.rows, 1);
    QCOMPARE(result.malformed, kept ? 0 : 1);
}

void TestCsvRecord::exportReadsBackInAnyLocale_data() {
    QTest::addColumn<QString>("locale");
    QTest::newRow("C") << QStringLiteral("C");
    QTest::newRow("German, decimal comma") << QStringLiteral("de_DE");
    QTest::newRow("Arabic, own digits") << QStringLiteral("ar_EG");
    QTest::newRow("Chinese") << QStringLiteral("zh_CN");
}

void TestCsvRecord::exportReadsBackInAnyLocale() {
    QFETCH(QString, locale);
    QLocale::setDefault(QLocale(locale));
    const auto history = trickyHistory();
    const QByteArray text = exportText(*history);
    QVERIFY(text.startsWith(kHeader));
    QVERIFY(!text.contains('\r'));
    QVERIFY(text.endsWith('\n'));
    QVERIFY2(!text.contains("12,5"), text.constData());
    const auto result = readText(text);
    QVERIFY(result.error.isEmpty());
    QCOMPARE(result.malformed, 0);
    compareHistories(*result.history, *history);
    // And once more: the second export is the first, byte for byte.
    QCOMPARE(exportText(*result.history), text);
}

void TestCsvRecord::exportRowsCarryTheLatestValues() {
    ReadingHistory history;
    const qint64 t0 = at("2026-12-07T15:31:00.000+01:00");
    history.addEvent(t0, QStringLiteral("port opened"));
    history.addPoint(Quantity::MeasuredVoltage, t0 + 500, 12.5);
    history.addPoint(Quantity::Output, t0 + 1000, 1);
    history.addPoint(Quantity::MeasuredVoltage, t0 + 1500, 12.25);
    history.addEvent(t0 + 2000, QStringLiteral("port closed"));
    const QList<QByteArray> rows = exportText(history).split('\n');
    QCOMPARE(rows.size(), 7); // header, five rows, the empty text after the last LF
    QCOMPARE(rows[1].split(',').mid(1), QByteArray(",,,,,,,,,,port opened").split(','));
    QCOMPARE(rows[2].split(',').mid(1), QByteArray("measured_voltage_V,12.5,,,,,,,,,").split(','));
    QCOMPARE(rows[3].split(',').mid(1), QByteArray("output,12.5,,,,,,on,,,").split(','));
    QCOMPARE(rows[4].split(',').mid(1),
             QByteArray("measured_voltage_V,12.25,,,,,,on,,,").split(','));
    QCOMPARE(rows[5].split(',').mid(1), QByteArray(",12.25,,,,,,on,,,port closed").split(','));
}

void TestCsvRecord::timeTextHasTheLocalOffset_data() {
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QString>("utc");
    QTest::addColumn<QString>("text");
    // POSIX rules, so that no zone database is needed.
    const QByteArray berlin = "CET-1CEST,M3.5.0,M10.5.0/3";
    QTest::newRow("winter") << berlin << "2026-12-07T14:31:02.512Z"
                            << "2026-12-07T15:31:02.512+01:00";
    QTest::newRow("summer") << berlin << "2026-07-01T22:00:00.000Z"
                            << "2026-07-02T00:00:00.000+02:00";
    QTest::newRow("UTC") << QByteArray("UTC0") << "2026-12-07T14:31:02.005Z"
                         << "2026-12-07T14:31:02.005+00:00";
    QTest::newRow("half hour west") << QByteArray("NST3:30") << "2026-12-07T02:00:00.999Z"
                                    << "2026-12-06T22:30:00.999-03:30";
    QTest::newRow("India") << QByteArray("IST-5:30") << "2026-12-07T20:00:00.000Z"
                           << "2026-12-08T01:30:00.000+05:30";
}

void TestCsvRecord::timeTextHasTheLocalOffset() {
    QFETCH(QByteArray, zone);
    QFETCH(QString, utc);
    QFETCH(QString, text);
    const QByteArray saved = qgetenv("TZ");
    qputenv("TZ", zone);
    const QDateTime time = QDateTime::fromString(utc, Qt::ISODateWithMs);
    const QString written = CsvFormat::timeText(time);
    const auto read = CsvFormat::parseTime(written);
    qputenv("TZ", saved);
    QCOMPARE(written, text);
    QVERIFY(read);
    QCOMPARE(*read, time.toMSecsSinceEpoch());
}

void TestCsvRecord::exportToAFolderThatIsNotThereFails() {
    QTemporaryDir dir;
    const auto history = trickyHistory();
    QString error;
    QVERIFY(!CsvExport::writeFile(*history, dir.filePath("missing/out.csv"), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(CsvExport::writeFile(*history, dir.filePath("out.csv"), &error));
    const auto result = CsvReader::readFile(dir.filePath("out.csv"));
    QCOMPARE(result.malformed, 0);
    compareHistories(*result.history, *history);
}

QTEST_GUILESS_MAIN(TestCsvRecord)
#include "test_csv_record.moc"
