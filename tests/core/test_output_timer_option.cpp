// --output-timer on both programs' command lines: the durations it takes and
// refuses, and its place among the other options.
#include "control/CommandLine.h"
#include "control/DurationText.h"

#include <QtTest>

using namespace std::chrono_literals;

class TestOutputTimerOption : public QObject {
    Q_OBJECT
private slots:
    void durations_data();
    void durations();
    void bothProgramsTakeIt_data();
    void bothProgramsTakeIt();
    void refusedLines_data();
    void refusedLines();
};

void TestOutputTimerOption::durations_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("seconds"); // 0: refused
    QTest::newRow("seconds") << "90s" << qint64(90);
    QTest::newRow("minutes") << "15m" << qint64(900);
    QTest::newRow("hours") << "2h" << qint64(7200);
    QTest::newRow("hours and minutes") << "1h30m" << qint64(5400);
    QTest::newRow("all three, upper case") << "1H2M3S" << qint64(3723);
    QTest::newRow("hours and seconds") << "1h5s" << qint64(3605);
    QTest::newRow("more minutes than an hour") << "90m" << qint64(5400);
    QTest::newRow("leading zero") << "05m" << qint64(300);
    QTest::newRow("a week") << "168h" << qint64(604800);
    QTest::newRow("one second") << "1s" << qint64(1);
    QTest::newRow("zero") << "0s" << qint64(0);
    QTest::newRow("zero in parts") << "0h0m" << qint64(0);
    QTest::newRow("beyond a week") << "604801s" << qint64(0);
    QTest::newRow("digits that would overflow") << "99999999999999999999h" << qint64(0);
    QTest::newRow("no unit") << "90" << qint64(0);
    QTest::newRow("unit alone") << "h" << qint64(0);
    QTest::newRow("empty") << "" << qint64(0);
    QTest::newRow("negative") << "-5m" << qint64(0);
    QTest::newRow("fraction") << "1.5h" << qint64(0);
    QTest::newRow("smaller unit first") << "30m1h" << qint64(0);
    QTest::newRow("unit twice") << "1h1h" << qint64(0);
    QTest::newRow("blank") << "1h 30m" << qint64(0);
    QTest::newRow("days") << "2d" << qint64(0);
    QTest::newRow("trailing number") << "1h30" << qint64(0);
    QTest::newRow("ms") << "500ms" << qint64(0);
}

void TestOutputTimerOption::durations() {
    QFETCH(QString, text);
    QFETCH(qint64, seconds);
    const std::optional<std::chrono::seconds> parsed = DurationText::parse(text);
    if (seconds == 0) {
        QVERIFY2(!parsed, qPrintable(QString::number(parsed ? parsed->count() : 0)));
        return;
    }
    QVERIFY(parsed);
    QCOMPARE(qint64(parsed->count()), seconds);
}

void TestOutputTimerOption::bothProgramsTakeIt_data() {
    QTest::addColumn<bool>("headless");
    QTest::newRow("window") << false;
    QTest::newRow("headless") << true;
}

void TestOutputTimerOption::bothProgramsTakeIt() {
    QFETCH(bool, headless);
    const Program program = headless ? Program::headless() : Program::window();
    const QStringList port{"--port", "COM3"};
    const CommandLine plain = CommandLine::parse(QStringList{"x"} + port, program);
    QCOMPARE(plain.outcome, CommandLine::Outcome::Run);
    QVERIFY(!plain.options.outputTimer);
    const CommandLine timed =
        CommandLine::parse(QStringList{"x", "--output-timer", "1h30m", "--poll"} + port, program);
    QVERIFY2(timed.outcome == CommandLine::Outcome::Run, qPrintable(timed.message));
    QCOMPARE(timed.options.outputTimer, std::optional(5400s));
    QVERIFY(timed.options.poll);
    QCOMPARE(CommandLine::parse({"x", "--output-timer=2h", "--port", "COM3"}, program)
                 .options.outputTimer,
             std::optional(7200s));
    const CommandLine help = CommandLine::parse({"x", "--help"}, program);
    QVERIFY(help.message.contains(QLatin1String("--output-timer <DURATION>")));
}

void TestOutputTimerOption::refusedLines_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("named");
    QTest::newRow("no unit") << QStringList{"--output-timer", "90"} << "'90'";
    QTest::newRow("zero") << QStringList{"--output-timer", "0m"} << "'0m'";
    QTest::newRow("no value") << QStringList{"--output-timer"} << "--output-timer";
    QTest::newRow("twice") << QStringList{"--output-timer", "1h", "--output-timer", "2h"}
                           << "more than once";
    QTest::newRow("an option as its value")
        << QStringList{"--output-timer", "--poll"} << "'--poll'";
}

void TestOutputTimerOption::refusedLines() {
    QFETCH(QStringList, args);
    QFETCH(QString, named);
    for (const Program& program : {Program::window(), Program::headless()}) {
        const CommandLine line =
            CommandLine::parse(QStringList{"x", "--port", "COM3"} + args, program);
        QCOMPARE(line.outcome, CommandLine::Outcome::Error);
        QVERIFY2(line.message.contains(named), qPrintable(line.message));
        QVERIFY2(line.message.contains(QLatin1String("--output-timer")), qPrintable(line.message));
        QCOMPARE(line.finish(), CommandLine::BadUsage);
    }
}

QTEST_GUILESS_MAIN(TestOutputTimerOption)
#include "test_output_timer_option.moc"
