#include "record/CsvFormat.h"
#include "record/CsvRecorder.h"
#include "supply/SupplyModel.h"
#include "support/RecordedCsv.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

namespace {

const QString kHeader = QStringLiteral("time,reading,measured_voltage_V,measured_current_A,"
                                       "set_voltage_V,set_current_A,ovp_V,ocp_A,output,mode,"
                                       "channel,event");
const char* const kChildOption = "--record-until-killed";

void setZone(const char* zone) {
    qputenv("TZ", zone);
    tzset();
}

// 7 December 2026, 14:31 UTC plus the milliseconds given.
QDateTime at(int ms) {
    return QDateTime(QDate(2026, 12, 7), QTime(14, 31), Qt::UTC).addMSecs(ms);
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The descriptor this process holds on `path`.
int descriptorOf(const QString& path) {
    const QString target = QFileInfo(path).canonicalFilePath();
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& fd : fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        if (QFile::symLinkTarget(fds.filePath(fd)) == target)
            return fd.toInt();
    return -1;
}

// One reading of a plausible cycle, chosen by n.
void feed(SupplyModel& model, int n) {
    const QDateTime now = QDateTime::currentDateTime();
    switch (n % 9) {
    case 6:
        model.setOutput(n % 2 ? OutputState::On : OutputState::Off, now);
        break;
    case 7:
        model.setMode(static_cast<TrackingMode>(n % 3), now);
        break;
    case 8:
        model.setChannel(1 + n % 2, now);
        break;
    default:
        model.setNumber(static_cast<Quantity>(n % 9), n * 0.001, now);
    }
}

// The child of the kill test: records readings as fast as it can and says
// after each how many rows it has written, until it is killed.
int recordUntilKilled(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    SupplyModel model;
    CsvRecorder recorder(model);
    if (!recorder.start(QString::fromLocal8Bit(argv[2]), CsvRecorder::Existing::Refuse))
        return 1;
    int n = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        for (int i = 0; i < 20; ++i) {
            feed(model, n++);
            std::printf("%lld\n", recorder.rowCount());
        }
        std::fflush(stdout);
    });
    timer.start(0);
    return app.exec();
}

} // namespace

class TestCsvRecorder : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void cycleRowsHoldTheLatestValues();
    void recordingStartedMidRunHoldsWhatIsKnown();
    void fieldsAreQuotedAndKeptOnOneLine();
    void numberTexts_data();
    void numberTexts();
    void timeTexts_data();
    void timeTexts();
    void anotherLocaleChangesNothing();
    void existingFileRefusedOrReplaced();
    void failingWritesEndTheRecording();
    void killedMidRecordingLeavesEveryReportedRowWhole();

private:
    QString path(const char* name) const { return dir_.filePath(QLatin1String(name)); }
    QTemporaryDir dir_;
    QByteArray zone_;
};

void TestCsvRecorder::initTestCase() {
    QVERIFY(dir_.isValid());
    zone_ = qgetenv("TZ");
    // One hour east of UTC, without daylight saving and without tzdata.
    setZone("XST-01:00");
}

void TestCsvRecorder::cleanupTestCase() {
    setZone(zone_.constData());
}

void TestCsvRecorder::cycleRowsHoldTheLatestValues() {
    SupplyModel model;
    CsvRecorder recorder(model);
    QSignalSpy rows(&recorder, &CsvRecorder::rowsWritten);
    const QString file = path("cycle.csv");
    QVERIFY(recorder.start(file, CsvRecorder::Existing::Refuse));
    QVERIFY(recorder.isRecording());

    model.setNumber(Quantity::MeasuredVoltage, 5.0, at(100));
    model.setNumber(Quantity::MeasuredCurrent, 0.5, at(600));
    model.setNumber(Quantity::SetVoltage, 5.0, at(1100));
    model.setNumber(Quantity::SetCurrent, 1.0, at(1600));
    model.setNumber(Quantity::OverVoltage, 33.0, at(2100));
    model.setNumber(Quantity::OverCurrent, 3.3, at(2600));
    model.setOutput(OutputState::On, at(3100));
    model.setMode(TrackingMode::Series, at(3600));
    model.setChannel(2, at(4100));
    model.setText(Quantity::Version, QStringLiteral("V1.06"), at(8600));
    model.setText(Quantity::Identification, QStringLiteral("VELMOR,PSU,SN1,V1"), at(9100));
    model.reportLinkEvent(LinkEvent::PollingStopped, at(9200));
    // The next cycle: the same value again is a reading too.
    model.setNumber(Quantity::MeasuredVoltage, 4.75, at(9600));
    model.setNumber(Quantity::MeasuredCurrent, 0.5, at(10100));
    recorder.stop();
    QVERIFY(!recorder.isRecording());

    const QByteArray bytes = contents(file);
    QVERIFY2(bytes.startsWith("time,"), "a BOM or something else before the header");
    QVERIFY(!bytes.contains('\r'));
    QVERIFY(bytes.endsWith('\n'));
    const QStringList lines = RecordedCsv::lines(file);
    QCOMPARE(lines.first(), kHeader);
    QCOMPARE(
        lines.mid(2, lines.size() - 3),
        QStringList({
            "2026-12-07T15:31:00.100+01:00,measured_voltage_V,5,,,,,,,,,",
            "2026-12-07T15:31:00.600+01:00,measured_current_A,5,0.5,,,,,,,,",
            "2026-12-07T15:31:01.100+01:00,set_voltage_V,5,0.5,5,,,,,,,",
            "2026-12-07T15:31:01.600+01:00,set_current_A,5,0.5,5,1,,,,,,",
            "2026-12-07T15:31:02.100+01:00,ovp_V,5,0.5,5,1,33,,,,,",
            "2026-12-07T15:31:02.600+01:00,ocp_A,5,0.5,5,1,33,3.3,,,,",
            "2026-12-07T15:31:03.100+01:00,output,5,0.5,5,1,33,3.3,on,,,",
            "2026-12-07T15:31:03.600+01:00,mode,5,0.5,5,1,33,3.3,on,series,,",
            "2026-12-07T15:31:04.100+01:00,channel,5,0.5,5,1,33,3.3,on,series,2,",
            "2026-12-07T15:31:09.200+01:00,,5,0.5,5,1,33,3.3,on,series,2,polling stopped",
            "2026-12-07T15:31:09.600+01:00,measured_voltage_V,4.75,0.5,5,1,33,3.3,on,series,2,",
            "2026-12-07T15:31:10.100+01:00,measured_current_A,4.75,0.5,5,1,33,3.3,on,series,2,",
        }));
    const QStringList first = RecordedCsv::fields(lines[1]);
    QCOMPARE(first.mid(1),
             QStringList({"", "", "", "", "", "", "", "", "", "", "recording started"}));
    const QStringList last = RecordedCsv::fields(lines.last());
    QCOMPARE(last.mid(1), QStringList({"", "4.75", "0.5", "5", "1", "33", "3.3", "on", "series",
                                       "2", "recording stopped"}));
    for (const QString& line : lines.mid(1))
        QVERIFY2(RecordedCsv::problem(line).isEmpty(), qPrintable(line));
    QCOMPARE(recorder.rowCount(), lines.size() - 1);
    QCOMPARE(rows.size(), lines.size() - 1);
    QCOMPARE(rows.last().first().toLongLong(), recorder.rowCount());
}

void TestCsvRecorder::recordingStartedMidRunHoldsWhatIsKnown() {
    SupplyModel model;
    model.setLink(QStringLiteral("COM3"), QStringLiteral("9600,N,8,1"));
    model.setNumber(Quantity::SetVoltage, 12.5, at(0));
    model.setOutput(OutputState::Off, at(0));
    CsvRecorder recorder(model);
    const QDateTime before = QDateTime::currentDateTime();
    QVERIFY(recorder.start(path("midrun.csv"), CsvRecorder::Existing::Refuse));
    const QDateTime after = QDateTime::currentDateTime();
    model.reportLinkEvent(LinkEvent::PortLost, at(500));

    const QStringList lines = RecordedCsv::lines(path("midrun.csv"));
    QCOMPARE(lines.size(), 3);
    const QString started = lines[1];
    QCOMPARE(started.mid(started.indexOf(u',')),
             QStringLiteral(R"(,,,,12.5,,,,off,,,"recording started COM3 9600,N,8,1")"));
    const QDateTime time = QDateTime::fromString(started.section(u',', 0, 0), Qt::ISODateWithMs);
    QVERIFY(time.isValid());
    QVERIFY(time.toMSecsSinceEpoch() >= before.toMSecsSinceEpoch());
    QVERIFY(time.toMSecsSinceEpoch() <= after.toMSecsSinceEpoch());
    QCOMPARE(lines[2], QStringLiteral("2026-12-07T15:31:00.500+01:00,,,,12.5,,,,off,,,port lost"));
}

void TestCsvRecorder::fieldsAreQuotedAndKeptOnOneLine() {
    QCOMPARE(CsvFormat::line({"a,b", R"(say "hi")", "two\nlines\r", "plain", ""}),
             QByteArray(R"("a,b","say ""hi""",two lines ,plain,)"
                        "\n"));
    QCOMPARE(CsvFormat::line({"电压", "é"}), QStringLiteral("电压,é\n").toUtf8());
}

void TestCsvRecorder::numberTexts_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("whole") << 5.0 << "5";
    QTest::newRow("hundred") << 100.0 << "100";
    QTest::newRow("tenth") << 0.1 << "0.1";
    QTest::newRow("negative") << -0.5 << "-0.5";
    QTest::newRow("current") << 3.3 << "3.3";
    QTest::newRow("small") << 1e-05 << "1e-05";
    QTest::newRow("sum not a tenth") << 0.1 + 0.2 << "0.30000000000000004";
    QTest::newRow("largest") << 1.7976931348623157e308 << "1.7976931348623157e+308";
    QTest::newRow("smallest") << 5e-324 << "5e-324";
    QTest::newRow("six digits") << 123.456 << "123.456";
}

void TestCsvRecorder::numberTexts() {
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(CsvFormat::numberText(value), text);
    bool ok = false;
    QCOMPARE(QLocale::c().toDouble(text, &ok), value);
    QVERIFY(ok);
}

void TestCsvRecorder::timeTexts_data() {
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QString>("text");
    QTest::newRow("UTC gives +00:00, not Z")
        << QByteArray("UTC0") << "2026-12-07T14:31:02.512+00:00";
    QTest::newRow("half-hour east") << QByteArray("XST-05:30") << "2026-12-07T20:01:02.512+05:30";
    QTest::newRow("west, day before") << QByteArray("YST+15:00") << "2026-12-06T23:31:02.512-15:00";
}

void TestCsvRecorder::timeTexts() {
    QFETCH(QByteArray, zone);
    QFETCH(QString, text);
    setZone(zone.constData());
    const QString written = CsvFormat::timeText(at(2512));
    setZone("XST-01:00");
    QCOMPARE(written, text);
    QCOMPARE(QDateTime::fromString(written, Qt::ISODateWithMs).toUTC(), at(2512));
}

void TestCsvRecorder::anotherLocaleChangesNothing() {
    for (const QLocale& locale :
         {QLocale(QLocale::German, QLocale::Germany), QLocale(QLocale::Arabic, QLocale::Egypt)}) {
        QLocale::setDefault(locale);
        SupplyModel model;
        CsvRecorder recorder(model);
        const QString file = path("locale.csv");
        QFile::remove(file);
        QVERIFY(recorder.start(file, CsvRecorder::Existing::Refuse));
        model.setNumber(Quantity::MeasuredVoltage, 12.5, at(3250));
        recorder.stop();
        QLocale::setDefault(QLocale::c());
        QCOMPARE(RecordedCsv::lines(file).value(2),
                 QStringLiteral("2026-12-07T15:31:03.250+01:00,measured_voltage_V,12.5,,,,,,,,,"));
    }
}

void TestCsvRecorder::existingFileRefusedOrReplaced() {
    const QString file = path("existing.csv");
    {
        QFile old(file);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old row\nsecond old row\n");
    }
    SupplyModel model;
    CsvRecorder recorder(model);
    QSignalSpy changed(&recorder, &CsvRecorder::recordingChanged);
    QVERIFY(!recorder.start(file, CsvRecorder::Existing::Refuse));
    QVERIFY(!recorder.isRecording());
    QVERIFY(!recorder.errorString().isEmpty());
    QCOMPARE(contents(file), QByteArray("old row\nsecond old row\n"));
    QCOMPARE(changed.size(), 0);

    QVERIFY(recorder.start(file, CsvRecorder::Existing::Replace));
    recorder.stop();
    const QByteArray replaced = contents(file);
    QVERIFY(replaced.startsWith(kHeader.toUtf8() + '\n'));
    QVERIFY(!replaced.contains("old row"));
    QCOMPARE(changed.size(), 2);
}

void TestCsvRecorder::failingWritesEndTheRecording() {
    SupplyModel model;
    CsvRecorder recorder(model);
    QSignalSpy failed(&recorder, &CsvRecorder::failed);
    QSignalSpy changed(&recorder, &CsvRecorder::recordingChanged);

    // A full disk from the start: the header does not fit.
    QVERIFY(!recorder.start(QStringLiteral("/dev/full"), CsvRecorder::Existing::Replace));
    QVERIFY(!recorder.isRecording());
    QVERIFY2(recorder.errorString().contains(QLatin1String("No space")),
             qPrintable(recorder.errorString()));
    QCOMPARE(changed.size(), 0);

    // The disk fills up during the recording.
    const QString file = path("filling.csv");
    QVERIFY(recorder.start(file, CsvRecorder::Existing::Refuse));
    model.setNumber(Quantity::MeasuredVoltage, 1.5, at(0));
    const int fd = descriptorOf(file);
    QVERIFY(fd >= 0);
    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    QVERIFY(full >= 0);
    QVERIFY(::dup2(full, fd) == fd);
    ::close(full);
    model.setNumber(Quantity::MeasuredCurrent, 0.25, at(500));
    QCOMPARE(failed.size(), 1);
    QVERIFY2(failed.first().first().toString().contains(QLatin1String("No space")),
             qPrintable(failed.first().first().toString()));
    QVERIFY(!recorder.isRecording());
    QCOMPARE(changed.last().first().toBool(), false);
    model.setNumber(Quantity::MeasuredCurrent, 0.5, at(1000));
    model.reportLinkEvent(LinkEvent::PortClosed, at(1500));
    QCOMPARE(failed.size(), 1);
    const QStringList kept = RecordedCsv::lines(file);
    QCOMPARE(kept.size(), 3);
    QVERIFY(RecordedCsv::problem(kept[2]).isEmpty());

    // The file is deleted under the recording.
    const QString deleted = path("deleted.csv");
    QVERIFY(recorder.start(deleted, CsvRecorder::Existing::Refuse));
    QVERIFY(QFile::remove(deleted));
    model.setChannel(1, at(2000));
    QCOMPARE(failed.size(), 2);
    QCOMPARE(failed.last().first().toString(), QStringLiteral("文件已被删除"));
    QVERIFY(!recorder.isRecording());
}

void TestCsvRecorder::killedMidRecordingLeavesEveryReportedRowWhole() {
    for (int round = 0; round < 3; ++round) {
        const QString file = path("killed.csv") + QString::number(round);
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {kChildOption, file});
        QVERIFY(child.waitForStarted());
        // Let it write a few hundred rows, a different number each round.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(file).size() > 20000 * (round + 1), 20000);
        child.kill();
        QVERIFY(child.waitForFinished());
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        const QList<QByteArray> said = child.readAllStandardOutput().trimmed().split('\n');
        const qint64 reported = said.last().toLongLong();
        QByteArray rest;
        const QStringList lines = RecordedCsv::lines(file, &rest);
        QCOMPARE(lines.first(), kHeader);
        for (const QString& line : lines.mid(1))
            QVERIFY2(RecordedCsv::problem(line).isEmpty(), qPrintable(line));
        // Every row the recorder had returned from is in the file, whole.
        QVERIFY2(lines.size() - 1 >= reported,
                 qPrintable(QStringLiteral("%1 rows in the file, %2 reported")
                                .arg(lines.size() - 1)
                                .arg(reported)));
        QVERIFY2(rest.size() < 200, rest.constData());
    }
}

int main(int argc, char** argv) {
    if (argc == 3 && qstrcmp(argv[1], kChildOption) == 0)
        return recordUntilKilled(argc, argv);
    QCoreApplication app(argc, argv);
    TestCsvRecorder test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_csv_recorder.moc"
