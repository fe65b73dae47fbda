// Programmed runs and watch limits in the core alone: the list file, the
// limits check, the run's commands and events, and the watch's alarms.
#include "program/Automation.h"
#include "program/ProgramFile.h"
#include "supply/SupplyLink.h"
#include "support/ScriptedSerialControl.h"

#include <rapidcheck.h>
#include <rapidcheck/state.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(ProgramFile::Problem::Kind)

namespace {

// A link on a scripted serial control, opened on COM3, rated 30 V and 3 A
// (voltage 0 to 31.5, current 0 to 3.15).
struct Bench {
    Bench() : comm(new ScriptedSerialControl), link(std::unique_ptr<SerialControl>(comm)) {
        link.portSession().toggle({"COM3", 3, "9600", "NONE", "8", "1", {}});
        link.rating().setVoltageRatingText(QStringLiteral("30  V"));
        link.rating().setCurrentRatingText(QStringLiteral("3   A"));
        link.rating().applyVoltageRating();
        link.rating().applyCurrentRating();
        comm->writes.clear();
        QObject::connect(&link.model(), &SupplyModel::noted,
                         [this](const QString& text) { notes.append(text); });
    }
    // The commands written, without their "CR".
    QStringList commands() const {
        QStringList out;
        for (const QByteArray& w : comm->writes)
            out.append(QString::fromLatin1(w.chopped(2)));
        return out;
    }

    // Outlives the link, which reports into it.
    QStringList notes;
    ScriptedSerialControl* comm;
    SupplyLink link;
};

ProgramStep step(double v, double i, double dwell = 0.1, OutputState out = OutputState::On) {
    return {v, i, dwell, out};
}

ProgramStep until(ProgramStep step, const char* condition) {
    step.until = StepCondition::parse(QString::fromLatin1(condition));
    return step;
}

// The refusal of a list, for a failure's message. Qt 6.4's QVERIFY2 builds
// its message even when the check holds, so it must not read a problem that
// is not there.
QString problemText(const ProgramFile::Result& result) {
    return result.problem ? ProgramFile::describe(*result.problem) : QString();
}

// One polling tick that sends its query: the tick after an unanswered query
// waits once for the reply.
void tick(Bench& bench) {
    const qsizetype before = bench.comm->writes.size();
    for (int i = 0; i < 2 && bench.comm->writes.size() == before; ++i)
        bench.link.polling().SysTickTimer_Timer();
    QVERIFY(bench.comm->writes.size() > before);
}

// The model of a run whose steps all end on their conditions (their dwells
// are far away): which step, whether a query went out since its commands,
// whether paused.
struct ConditionModel {
    std::vector<StepCondition> conditions;
    size_t index = 0;
    bool armed = false;
    bool paused = false;
    bool active() const { return index < conditions.size(); }
};

struct ConditionBench {
    Bench bench;
    ProgramRun run{bench.link};
};

using ConditionCommand = rc::state::Command<ConditionModel, ConditionBench>;

void checkAgainst(const ConditionModel& model, const ConditionBench& sut) {
    RC_ASSERT(sut.run.isActive() == model.active());
    if (model.active()) {
        RC_ASSERT(size_t(sut.run.stepIndex()) == model.index);
        RC_ASSERT((sut.run.state() == ProgramRun::State::Paused) == model.paused);
    }
}

struct TickCommand : ConditionCommand {
    void apply(ConditionModel& model) const override {
        if (model.active())
            model.armed = true;
    }
    void run(const ConditionModel& model, ConditionBench& sut) const override {
        const qsizetype before = sut.bench.comm->writes.size();
        for (int i = 0; i < 2 && sut.bench.comm->writes.size() == before; ++i)
            sut.bench.link.polling().SysTickTimer_Timer();
        ConditionModel next = model;
        apply(next);
        checkAgainst(next, sut);
    }
    void show(std::ostream& os) const override { os << "tick"; }
};

struct ReadingCommand : ConditionCommand {
    bool current = *rc::gen::arbitrary<bool>();
    double value = *rc::gen::element(0.0, 0.49, 0.5, 0.51, 1.0, 11.9, 12.0, 12.1, 30.0);

    Quantity quantity() const {
        return current ? Quantity::MeasuredCurrent : Quantity::MeasuredVoltage;
    }
    void apply(ConditionModel& model) const override {
        if (!model.active() || model.paused || !model.armed)
            return;
        const StepCondition& condition = model.conditions[model.index];
        if (condition.quantity == quantity() && condition.metBy(value)) {
            ++model.index;
            model.armed = false;
        }
    }
    void run(const ConditionModel& model, ConditionBench& sut) const override {
        sut.bench.notes.clear();
        sut.bench.link.model().setNumber(quantity(), value, QDateTime::currentDateTime());
        ConditionModel next = model;
        apply(next);
        checkAgainst(next, sut);
        // A step that ended says which reading ended it.
        if (next.index != model.index)
            RC_ASSERT(sut.bench.notes.value(0).endsWith(
                QStringLiteral(" ended ") + model.conditions[model.index].metText(value)));
        else
            RC_ASSERT(sut.bench.notes.isEmpty());
    }
    void show(std::ostream& os) const override { os << (current ? "I " : "V ") << value; }
};

struct PauseCommand : ConditionCommand {
    void apply(ConditionModel& model) const override { model.paused = model.active(); }
    void run(const ConditionModel& model, ConditionBench& sut) const override {
        sut.run.pause();
        ConditionModel next = model;
        apply(next);
        checkAgainst(next, sut);
    }
    void show(std::ostream& os) const override { os << "pause"; }
};

struct ResumeCommand : ConditionCommand {
    void apply(ConditionModel& model) const override { model.paused = false; }
    void run(const ConditionModel& model, ConditionBench& sut) const override {
        sut.run.resume();
        ConditionModel next = model;
        apply(next);
        checkAgainst(next, sut);
    }
    void show(std::ostream& os) const override { os << "resume"; }
};

} // namespace

class TestProgram : public QObject {
    Q_OBJECT
private slots:
    void listFile_data();
    void listFile();
    void listFileRefusesTooMany();
    void listFileRoundTrip();
    void untilColumn_data();
    void untilColumn();
    void untilColumnKeptOrLeftOutAsItCame_data();
    void untilColumnKeptOrLeftOutAsItCame();
    void stepEndsOnItsConditionOrItsDwell();
    void conditionsJudgeOnlyFreshReadingsOfARunningStep();
    void rampFills();
    void limitsCheckAgreesWithTheSetButtons_data();
    void limitsCheckAgreesWithTheSetButtons();
    void runSendsStepsInOrderAndFinishesOff();
    void runRefusedBeforeAnythingIsSent();
    void pauseHoldsAndStopSwitchesOff();
    void lostLineStopsAndSwitchesOffOnReturn();
    void watchRaisesOnceAndClearsAfterTwo();
    void watchSwitchOffEndsARun();
};

void TestProgram::listFile_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("steps");       // -1: refused
    QTest::addColumn<int>("problemLine"); // for a refusal
    QTest::addColumn<ProgramFile::Problem::Kind>("kind");
    using K = ProgramFile::Problem::Kind;
    const QByteArray h = "voltage_V,current_A,dwell_s,output\n";
    QTest::newRow("plain") << h + "12,1,5,on\n13.8,1,2.5,off\n" << 2 << 0 << K::NoSteps;
    QTest::newRow("spreadsheet") << QByteArray("\xEF\xBB\xBF"
                                               "Voltage_V,Current_A,Dwell_s,Output\r\n"
                                               "\"12\", 1 ,5,ON,,\r\n\r\n1e1,0.5,1,Off\r\n")
                                 << 2 << 0 << K::NoSteps;
    QTest::newRow("no last line end") << h + "12,1,5,on" << 1 << 0 << K::NoSteps;
    QTest::newRow("missing column") << h + "12,1,5,on\n12,1,5\n" << -1 << 3 << K::ColumnCount;
    QTest::newRow("comma decimal") << h + "12,5,1,5,on\n" << -1 << 2 << K::ColumnCount;
    QTest::newRow("negative dwell") << h + "12,1,-5,on\n" << -1 << 2 << K::Dwell;
    QTest::newRow("text in a number") << h + "12,1,5,on\n12V,1,5,on\n" << -1 << 3 << K::NotANumber;
    QTest::newRow("not a number") << h + "nan,1,5,on\n" << -1 << 2 << K::NotANumber;
    QTest::newRow("bad output") << h + "12,1,5,1\n" << -1 << 2 << K::Output;
    QTest::newRow("no header") << QByteArray("12,1,5,on\n") << -1 << 1 << K::NoHeader;
    QTest::newRow("empty") << QByteArray() << -1 << 1 << K::NoHeader;
    QTest::newRow("header only") << h << -1 << 0 << K::NoSteps;
    QTest::newRow("not UTF-8") << h + "12,1,5,\xC4"
                                      "\n"
                               << -1 << 0 << K::NotUtf8;
    QTest::newRow("open quote") << h + "\"12,1,5,on\n" << -1 << 2 << K::ColumnCount;
    QTest::newRow("long line") << h + QByteArray(2000, ' ') + "12,1,5,on\n"
                               << -1 << 2 << K::LineTooLong;
}

void TestProgram::listFile() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, steps);
    const ProgramFile::Result result = ProgramFile::parse(bytes);
    if (steps >= 0) {
        QVERIFY2(!result.problem, qPrintable(problemText(result)));
        QCOMPARE(int(result.steps.size()), steps);
        QCOMPARE(result.steps.front().voltage, 12.0);
        return;
    }
    QFETCH(int, problemLine);
    QFETCH(ProgramFile::Problem::Kind, kind);
    QVERIFY(result.problem);
    QVERIFY(result.steps.empty());
    QCOMPARE(result.problem->kind, kind);
    QCOMPARE(result.problem->line, problemLine);
    if (problemLine > 0)
        QVERIFY(ProgramFile::describe(*result.problem).contains(QString::number(problemLine)));
}

void TestProgram::listFileRefusesTooMany() {
    QByteArray bytes = ProgramFile::header().toUtf8() + '\n';
    for (int i = 0; i < ProgramLimits::MaxSteps; ++i)
        bytes += "1,1,1,on\n";
    QCOMPARE(ProgramFile::parse(bytes).steps.size(), size_t(ProgramLimits::MaxSteps));
    const ProgramFile::Result one = ProgramFile::parse(bytes + "1,1,1,on\n");
    QCOMPARE(one.problem->kind, ProgramFile::Problem::Kind::TooManySteps);
    QCOMPARE(one.problem->line, ProgramLimits::MaxSteps + 2);
    // A hundred thousand rows are refused before they are read line by line.
    QByteArray huge = ProgramFile::header().toUtf8() + '\n';
    for (int i = 0; i < 100000; ++i)
        huge += "12.5,1.25,10,on\n";
    QCOMPARE(ProgramFile::parse(huge).problem->kind, ProgramFile::Problem::Kind::TooLarge);
}

void TestProgram::listFileRoundTrip() {
    const ProgramSteps steps = {step(0.1 + 0.2, 1e-5, 0.1, OutputState::Off),
                                step(13.8, 2.999999999, 604800), step(0, 0, 1.25)};
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.csv"));
    QString error;
    QVERIFY(ProgramFile::write(path, steps, &error));
    const ProgramFile::Result back = ProgramFile::read(path);
    QVERIFY(!back.problem);
    QVERIFY(back.steps == steps);
    QCOMPARE(ProgramFile::read(dir.filePath(QStringLiteral("none.csv"))).problem->kind,
             ProgramFile::Problem::Kind::Unreadable);
}

void TestProgram::untilColumn_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("until"); // as written back; "-" for a refused line
    QTest::addColumn<ProgramFile::Problem::Kind>("kind");
    using K = ProgramFile::Problem::Kind;
    QTest::newRow("current below") << QByteArray("12,1,5,on,I<0.05") << "I<0.05" << K::NoSteps;
    QTest::newRow("voltage above, trailing zero")
        << QByteArray("12,1,5,on,V>12.0") << "V>12" << K::NoSteps;
    QTest::newRow("lower case, blanks, quoted")
        << QByteArray("12,1,5,on,\" i > 1.5 \"") << "I>1.5" << K::NoSteps;
    QTest::newRow("exponent") << QByteArray("12,1,5,on,V<3e0") << "V<3" << K::NoSteps;
    QTest::newRow("empty") << QByteArray("12,1,5,on,") << "" << K::NoSteps;
    QTest::newRow("left off by a spreadsheet") << QByteArray("12,1,5,on") << "" << K::NoSteps;
    QTest::newRow("or equal") << QByteArray("12,1,5,on,I<=0.05") << "-" << K::Condition;
    QTest::newRow("power") << QByteArray("12,1,5,on,P>10") << "-" << K::Condition;
    QTest::newRow("no number") << QByteArray("12,1,5,on,V>") << "-" << K::Condition;
    QTest::newRow("unit") << QByteArray("12,1,5,on,V>12V") << "-" << K::Condition;
    QTest::newRow("equals") << QByteArray("12,1,5,on,I=1") << "-" << K::Condition;
    QTest::newRow("two conditions") << QByteArray("12,1,5,on,I<1,V>2") << "-" << K::ColumnCount;
}

void TestProgram::untilColumn() {
    QFETCH(QByteArray, line);
    QFETCH(QString, until);
    const QByteArray file = "voltage_V,current_A,dwell_s,output,until\n5,1,1,off,\n" + line + '\n';
    const ProgramFile::Result result = ProgramFile::parse(file);
    if (until != QLatin1String("-")) {
        QVERIFY2(!result.problem, qPrintable(problemText(result)));
        QVERIFY(result.withUntil);
        QVERIFY(!result.steps.front().until);
        const std::optional<StepCondition>& read = result.steps.back().until;
        QCOMPARE(read ? read->text() : QString(), until);
        return;
    }
    QFETCH(ProgramFile::Problem::Kind, kind);
    QVERIFY(result.problem);
    QCOMPARE(result.problem->kind, kind);
    QCOMPARE(result.problem->line, 3);
    const QString told = ProgramFile::describe(*result.problem);
    QVERIFY2(told.contains(QLatin1String("3")), qPrintable(told));
    if (kind == ProgramFile::Problem::Kind::Condition)
        QCOMPARE(result.problem->column, 5);
}

void TestProgram::untilColumnKeptOrLeftOutAsItCame_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("saved"); // empty: as it came
    QTest::newRow("four columns") << QByteArray("voltage_V,current_A,dwell_s,output\n"
                                                "5,0.5,10,on\n0,0.5,5,off\n")
                                  << QByteArray();
    QTest::newRow("five, none set") << QByteArray("voltage_V,current_A,dwell_s,output,until\n"
                                                  "5,0.5,10,on,\n")
                                    << QByteArray();
    QTest::newRow("five, one set")
        << QByteArray("voltage_V,current_A,dwell_s,output,until\n14.4,1,28800,on,I<0.1\n"
                      "0,0.5,5,off,\n")
        << QByteArray();
    QTest::newRow("spreadsheet's five")
        << QByteArray("Voltage_V,Current_A,Dwell_s,Output,Until\r\n14.4,1,28800,ON,v > 14.3\r\n"
                      "0,0.5,5,off\r\n")
        << QByteArray("voltage_V,current_A,dwell_s,output,until\n14.4,1,28800,on,V>14.3\n"
                      "0,0.5,5,off,\n");
}

void TestProgram::untilColumnKeptOrLeftOutAsItCame() {
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, saved);
    const ProgramFile::Result read = ProgramFile::parse(file);
    QVERIFY(!read.problem);
    QCOMPARE(ProgramFile::text(read.steps, read.withUntil), saved.isEmpty() ? file : saved);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.csv"));
    QVERIFY(ProgramFile::write(path, read.steps, nullptr, read.withUntil));
    const ProgramFile::Result back = ProgramFile::read(path);
    QVERIFY(back.steps == read.steps);
    QCOMPARE(back.withUntil, read.withUntil);
    // A condition given to a list that came without the column is kept.
    ProgramSteps steps = read.steps;
    steps.front().until = StepCondition::parse(u"I>2");
    QVERIFY(ProgramFile::parse(ProgramFile::text(steps, false)).steps == steps);
}

void TestProgram::stepEndsOnItsConditionOrItsDwell() {
    Bench bench;
    ProgramRun run(bench.link);
    QSignalSpy ended(&run, &ProgramRun::ended);
    const auto reading = [&bench](Quantity quantity, double value) {
        bench.link.model().setNumber(quantity, value, QDateTime::currentDateTime());
    };
    QElapsedTimer clock;
    clock.start();
    ProgramRun::Program program{
        {until(step(14.4, 1, 10), "I<0.1"), until(step(0, 0.5, 0.3, OutputState::Off), "V>1")},
        1,
        {},
        false};
    QCOMPARE(run.start(program), ProgramRun::Start::Started);
    // A reply already on its way when the commands went out tells of the
    // step before: no query has gone out since.
    reading(Quantity::MeasuredCurrent, 0.0);
    QCOMPARE(run.stepIndex(), 0);
    tick(bench);
    reading(Quantity::MeasuredVoltage, 0.05); // the other quantity
    reading(Quantity::MeasuredCurrent, 0.1);  // on the threshold, not below
    run.pause();
    reading(Quantity::MeasuredCurrent, 0.05); // a paused step holds
    QCOMPARE(run.stepIndex(), 0);
    run.resume();
    bench.comm->writes.clear();
    reading(Quantity::MeasuredCurrent, 0.099);
    QCOMPARE(run.stepIndex(), 1);
    QCOMPARE(bench.commands(), QStringList({"OUTP 0", "VOLTage:LEVel 0", "CURRent:LEVel 0.5"}));
    // The rest's time left counts from the early end, not from the charge's
    // ten seconds.
    QVERIFY2(run.remainingMsecs() <= 300, qPrintable(QString::number(run.remainingMsecs())));

    // Never met, so the dwell ends the rest.
    tick(bench);
    reading(Quantity::MeasuredVoltage, 1.0);
    QTRY_COMPARE(ended.size(), 1);
    QCOMPARE(ended.first().first().value<ProgramRun::End>(), ProgramRun::End::Finished);
    QVERIFY(clock.elapsed() < 5000);
    QCOMPARE(bench.notes,
             QStringList({"run started 2 steps", "run step 1/2", "run paused", "run resumed",
                          "run step 1/2 ended measured_current_A 0.099 < 0.1", "run step 2/2",
                          "run step 2/2 ended dwell 0.3 s", "run finished"}));
}

void TestProgram::conditionsJudgeOnlyFreshReadingsOfARunningStep() {
    const bool held = rc::check([] {
        const auto conditions = *rc::gen::container<std::vector<StepCondition>>(
            *rc::gen::inRange(1, 4),
            rc::gen::map(rc::gen::element(u"I<0.5", u"I>1", u"V<12", u"V>12", u"I>0.5", u"V<0.5"),
                         [](const char16_t* text) { return *StepCondition::parse(text); }));
        ConditionModel model;
        model.conditions = conditions;
        ConditionBench sut;
        ProgramRun::Program program;
        for (const StepCondition& condition : conditions) {
            ProgramStep s = step(5, 1, 600);
            s.until = condition;
            program.steps.push_back(s);
        }
        RC_ASSERT(sut.run.start(program) == ProgramRun::Start::Started);
        rc::state::check(model, sut,
                         rc::state::gen::execOneOfWithArgs<TickCommand, ReadingCommand,
                                                           PauseCommand, ResumeCommand>());
    });
    QVERIFY(held);
}

void TestProgram::rampFills() {
    const std::optional<ProgramSteps> up = rampSteps(true, 10, 12, 5, 10, 1.5);
    QVERIFY(up);
    QCOMPARE(up->size(), size_t(5));
    QCOMPARE(up->front().voltage, 10.0);
    QCOMPARE(up->at(2).voltage, 11.0);
    QCOMPARE(up->back().voltage, 12.0);
    for (const ProgramStep& s : *up)
        QVERIFY(s.current == 1.5 && s.dwellSeconds == 2.0 && s.output == OutputState::On);
    const std::optional<ProgramSteps> down = rampSteps(false, 2, 0, 3, 3, 5);
    QCOMPARE(down->at(1).current, 1.0);
    QCOMPARE(down->at(1).voltage, 5.0);
    QVERIFY(!rampSteps(true, 0, 1, 1, 10, 1));  // one step is no ramp
    QVERIFY(!rampSteps(true, 0, 1, 100, 1, 1)); // 10 ms a step
}

void TestProgram::limitsCheckAgreesWithTheSetButtons_data() {
    QTest::addColumn<double>("voltage");
    QTest::addColumn<double>("current");
    QTest::addColumn<bool>("outside");
    QTest::newRow("inside") << 12.0 << 1.0 << false;
    QTest::newRow("both ends") << 31.5 << 0.0 << false;
    QTest::newRow("voltage above") << 31.51 << 1.0 << true;
    QTest::newRow("current above") << 12.0 << 3.16 << true;
    QTest::newRow("negative") << -1.0 << 1.0 << true;
    QTest::newRow("current top") << 0.0 << 3.15 << false;
}

void TestProgram::limitsCheckAgreesWithTheSetButtons() {
    QFETCH(double, voltage);
    QFETCH(double, current);
    QFETCH(bool, outside);
    Bench bench;
    const std::vector<int> flagged = ProgramLimits::stepsOutsideLimits(
        bench.link.rating().limits(), {step(1, 1), step(voltage, current)});
    QCOMPARE(flagged, outside ? std::vector<int>{1} : std::vector<int>{});
    using S = SetpointCommands::Setpoint;
    using O = SetpointCommands::Outcome;
    const bool refused = bench.link.setpoints().sendValue(S::Voltage, voltage) == O::OutOfRange ||
                         bench.link.setpoints().sendValue(S::Current, current) == O::OutOfRange;
    QCOMPARE(refused, outside);
}

void TestProgram::runSendsStepsInOrderAndFinishesOff() {
    Bench bench;
    ProgramRun run(bench.link);
    QSignalSpy ended(&run, &ProgramRun::ended);
    ProgramRun::Program program{{step(12, 1), step(13.8, 0.5, 0.1, OutputState::Off)},
                                2,
                                QStringLiteral("/tmp/soak.csv"),
                                false};
    QCOMPARE(run.start(program), ProgramRun::Start::Started);
    QCOMPARE(run.start(program), ProgramRun::Start::Busy);
    QTRY_COMPARE(ended.size(), 1);
    QCOMPARE(ended.first().first().value<ProgramRun::End>(), ProgramRun::End::Finished);
    const QStringList on = {"VOLTage:LEVel 12", "CURRent:LEVel 1", "OUTP 1"};
    const QStringList off = {"OUTP 0", "VOLTage:LEVel 13.8", "CURRent:LEVel 0.5"};
    QCOMPARE(bench.commands(), on + off + on + off + QStringList{"OUTP 0"});
    QCOMPARE(bench.notes, QStringList({"run started soak.csv", "run step 1/2", "run step 2/2",
                                       "run step 1/2", "run step 2/2", "run finished"}));
    QCOMPARE(bench.link.switches().shownOutput(), OutputState::Off);

    // Kept as it is at the end, when asked.
    bench.comm->writes.clear();
    program.repeat = 1;
    program.keepOutputAtEnd = true;
    program.steps.pop_back();
    program.name.clear();
    QCOMPARE(run.start(program), ProgramRun::Start::Started);
    QTRY_COMPARE(ended.size(), 2);
    QCOMPARE(bench.commands(), on);
    QCOMPARE(bench.notes.mid(6, 1), QStringList{"run started 1 steps"});
}

void TestProgram::runRefusedBeforeAnythingIsSent() {
    Bench bench;
    ProgramRun run(bench.link);
    QSignalSpy messages(&bench.link.notices(), &Notices::message);
    ProgramRun::Program program{{step(12, 1), step(40, 1)}, 1, {}, false};
    QCOMPARE(run.start(program), ProgramRun::Start::OutsideLimits);
    QCOMPARE(messages.size(), 0);
    program.steps.pop_back();
    bench.link.portSession().ClosePort();
    QCOMPARE(run.start(program), ProgramRun::Start::PortClosed);
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().first().toString(), Notices::PortClosed);
    program.repeat = ProgramLimits::MaxRepeat + 1;
    QCOMPARE(run.start(program), ProgramRun::Start::BadRepeat);
    program.steps.clear();
    QCOMPARE(run.start(program), ProgramRun::Start::NoSteps);
    QVERIFY(!run.isActive());
    QVERIFY(bench.comm->writes.isEmpty());
    QVERIFY(bench.notes.isEmpty());
}

void TestProgram::pauseHoldsAndStopSwitchesOff() {
    Bench bench;
    ProgramRun run(bench.link);
    ProgramRun::Program program{{step(5, 1, 0.3), step(6, 1, 0.3)}, ProgramRun::Endless, {}, true};
    QCOMPARE(run.start(program), ProgramRun::Start::Started);
    QCOMPARE(run.remainingMsecs(), 600);
    run.pause();
    const qint64 left = run.remainingMsecs();
    QTest::qWait(400);
    QCOMPARE(run.remainingMsecs(), left);
    QCOMPARE(run.stepIndex(), 0);
    run.resume();
    QTRY_COMPARE(run.stepIndex(), 1);
    // Stopping switches off even though the end would have kept the output.
    bench.comm->writes.clear();
    run.stop();
    QCOMPARE(bench.commands(), QStringList{"OUTP 0"});
    QCOMPARE(bench.notes, QStringList({"run started 2 steps", "run step 1/2", "run paused",
                                       "run resumed", "run step 2/2", "run stopped"}));
}

void TestProgram::lostLineStopsAndSwitchesOffOnReturn() {
    Bench bench;
    ProgramRun run(bench.link);
    QSignalSpy ended(&run, &ProgramRun::ended);
    QCOMPARE(run.start({{step(5, 1, 10)}, 1, {}, false}), ProgramRun::Start::Started);
    bench.comm->vanish();
    QCOMPARE(ended.size(), 1);
    QCOMPARE(ended.first().first().value<ProgramRun::End>(), ProgramRun::End::PortGone);
    QCOMPARE(bench.notes.last(), QStringLiteral("run stopped"));
    bench.comm->writes.clear();
    QVERIFY(bench.link.portSession().openQuietly(bench.link.portSession().openedRequest(),
                                                 LinkEvent::PortReopened));
    QCOMPARE(bench.commands(), QStringList{"OUTP 0"});
    // Once only: the next opening sends nothing of the run's.
    bench.link.portSession().ClosePort();
    bench.comm->writes.clear();
    QVERIFY(bench.link.portSession().openQuietly(bench.link.portSession().openedRequest(),
                                                 LinkEvent::PortOpened));
    QVERIFY(bench.comm->writes.isEmpty());
}

void TestProgram::watchRaisesOnceAndClearsAfterTwo() {
    Bench bench;
    int switchOffs = 0;
    WatchLimits watch(bench.link.model(), [&switchOffs] { ++switchOffs; });
    WatchLimits::Settings settings;
    settings.current.upper = WatchLimits::Bound{1.2, WatchLimits::Action::SwitchOff};
    settings.voltage.lower = WatchLimits::Bound{4.8, WatchLimits::Action::Note};
    QVERIFY(watch.setSettings(settings));
    QSignalSpy count(&watch, &WatchLimits::alarmCountChanged);
    SupplyModel& model = bench.link.model();
    const QDateTime now = QDateTime::currentDateTime();
    for (double amps : {1.0, 1.25, 1.3, 1.1, 1.25, 1.1, 1.15, 1.19})
        model.setNumber(Quantity::MeasuredCurrent, amps, now);
    for (double volts : {5.0, 4.5, 5.0, 5.0})
        model.setNumber(Quantity::MeasuredVoltage, volts, now);
    QCOMPARE(bench.notes, QStringList({"limit exceeded measured_current_A 1.25 > 1.2",
                                       "limit cleared measured_current_A 1.15",
                                       "limit exceeded measured_voltage_V 4.5 < 4.8",
                                       "limit cleared measured_voltage_V 5"}));
    QCOMPARE(switchOffs, 1);
    QCOMPARE(count.size(), 4);
    QCOMPARE(watch.alarmCount(), 0);

    settings.current.lower = WatchLimits::Bound{1.5, WatchLimits::Action::Note};
    QVERIFY(!watch.setSettings(settings)); // lower above upper
    QVERIFY(watch.settings().current.lower == std::nullopt);
}

void TestProgram::watchSwitchOffEndsARun() {
    Bench bench;
    Automation automation(bench.link);
    WatchLimits::Settings settings;
    settings.current.upper = WatchLimits::Bound{1.2, WatchLimits::Action::SwitchOff};
    QVERIFY(automation.watch().setSettings(settings));
    QCOMPARE(automation.run().start({{step(12, 1, 10)}, 1, {}, false}), ProgramRun::Start::Started);
    bench.comm->writes.clear();
    bench.link.model().setNumber(Quantity::MeasuredCurrent, 1.25, QDateTime::currentDateTime());
    QVERIFY(!automation.run().isActive());
    QCOMPARE(bench.commands(), QStringList{"OUTP 0"});
    QCOMPARE(bench.notes.mid(2),
             QStringList({"limit exceeded measured_current_A 1.25 > 1.2", "run stopped"}));
}

QTEST_GUILESS_MAIN(TestProgram)
#include "test_program.moc"
