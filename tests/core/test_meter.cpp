// The meter: its integration over scripted readings (a table of cases and a
// model-based run of random readings, link events and resets), the meter
// on a supply model, and the output timer on a scripted line.
#include "control/RunController.h"
#include "meter/EnergyIntegral.h"
#include "meter/EnergyMeter.h"
#include "protocol/Commands.h"
#include "support/ScriptedSerialControl.h"
#include "support/ScriptedSupply.h"

#include <QSignalSpy>
#include <QtTest>

#include <rapidcheck.h>
#include <rapidcheck/state.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>

using namespace std::chrono_literals;

namespace {

// One thing that happens to the integral, at a time in seconds.
struct Step {
    enum Kind { Volts, Amps, Output, Interrupt, Reset } kind;
    double value = 0;
    double at = 0;
};
using Script = QList<Step>;

Step volts(double v, double at) {
    return {Step::Volts, v, at};
}
Step amps(double a, double at) {
    return {Step::Amps, a, at};
}
Step output(bool on) {
    return {Step::Output, on ? 1.0 : 0.0, 0};
}
Step interrupt() {
    return {Step::Interrupt, 0, 0};
}
Step reset() {
    return {Step::Reset, 0, 0};
}

void apply(EnergyIntegral& integral, const Step& step) {
    const auto ms = qint64(step.at * 1000.0);
    switch (step.kind) {
    case Step::Volts:
        integral.voltage(step.value, ms);
        break;
    case Step::Amps:
        integral.current(step.value, ms);
        break;
    case Step::Output:
        integral.output(step.value != 0);
        break;
    case Step::Interrupt:
        integral.interrupt();
        break;
    case Step::Reset:
        integral.reset();
        break;
    }
}

// A polling cycle's two readings: the voltage, then the current half a
// second later, each cycle 9 s after the one before.
Script cycles(int count, double startAt, double v, double a) {
    Script script;
    for (int i = 0; i < count; ++i) {
        script << volts(v, startAt + 9.0 * i) << amps(a, startAt + 9.0 * i + 0.5);
    }
    return script;
}

constexpr int kFastMs = 50;

struct ScriptedRun {
    ScriptedRun()
        : comm(new ScriptedSerialControl),
          controller(
              std::unique_ptr<SerialControl>(comm),
              [](const RemoteAccess::Parts&, QString*) { return std::unique_ptr<RemoteAccess>(); },
              nullptr, kFastMs),
          supply(*comm) {}
    void cycle() {
        for (int step = 0; step < 18; ++step) {
            controller.link().polling().SysTickTimer_Timer();
            QCoreApplication::processEvents();
        }
    }
    void openAndPoll() {
        LaunchOptions options;
        options.port = QStringLiteral("COM3");
        options.poll = true;
        controller.launch(options, RunController::requestFor(options));
    }
    ScriptedSerialControl* comm;
    RunController controller;
    ScriptedSupply supply;
};

// The model-based run: what the integral must satisfy whatever the order of
// readings, output changes, link events and resets.
struct Model {
    qint64 now = 0;
    bool on = false;
    // Since the last interruption: a voltage and a current were read.
    bool voltsKnown = false;
    bool ampsKnown = false;
    // The time the integrated stretch may at most cover since the last
    // reset: time that passed with the output on and readings in a chain.
    qint64 onBound = 0;
    std::optional<qint64> lastSample;
    double lowestWatts = 0;
    double highestWatts = 0;
};

using Command = rc::state::Command<Model, EnergyIntegral>;

// Powers stay between these, so energy divided by the on-time must too.
constexpr double kLowVolts = 1.0;
constexpr double kHighVolts = 30.0;
constexpr double kLowAmps = 0.1;
constexpr double kHighAmps = 3.0;

void checkTotals(const Model& m, const EnergyIntegral& integral) {
    const EnergyIntegral::Totals& t = integral.totals();
    RC_ASSERT(t.onMs >= 0);
    RC_ASSERT(t.onMs <= m.onBound);
    const double seconds = double(t.onMs) / 1000.0;
    RC_ASSERT(t.joules >= kLowVolts * kLowAmps * seconds - 1e-9);
    RC_ASSERT(t.joules <= kHighVolts * kHighAmps * seconds + 1e-9);
    RC_ASSERT(t.coulombs >= kLowAmps * seconds - 1e-9);
    RC_ASSERT(t.coulombs <= kHighAmps * seconds + 1e-9);
}

struct Read : Command {
    bool isVolts = *rc::gen::arbitrary<bool>();
    double value = isVolts ? *rc::gen::inRange(10, 300) / 10.0 : *rc::gen::inRange(1, 30) / 10.0;
    // Mostly a polling step apart, sometimes a long gap, now and then a
    // clock set back.
    qint64 after = *rc::gen::weightedOneOf<qint64>(
        {{6, rc::gen::inRange<qint64>(0, 9001)},
         {2,
          rc::gen::inRange<qint64>(EnergyIntegral::MaxGapMs - 50, EnergyIntegral::MaxGapMs + 50)},
         {1, rc::gen::inRange<qint64>(-60000, 0)}});

    void apply(Model& m) const override {
        const qint64 at = m.now + after;
        (isVolts ? m.voltsKnown : m.ampsKnown) = true;
        if (m.voltsKnown && m.ampsKnown && m.on) {
            const qint64 span = m.lastSample ? at - *m.lastSample : 0;
            if (span > 0 && span <= EnergyIntegral::MaxGapMs)
                m.onBound += span;
            m.lastSample = at;
        }
        m.now = at;
    }
    void run(const Model& m, EnergyIntegral& integral) const override {
        const EnergyIntegral::Totals before = integral.totals();
        const qint64 at = m.now + after;
        if (isVolts)
            integral.voltage(value, at);
        else
            integral.current(value, at);
        Model next = m;
        apply(next);
        checkTotals(next, integral);
        // Nothing counts while the output is off, or before both are known.
        if (!m.on || !(next.voltsKnown && next.ampsKnown)) {
            RC_ASSERT(integral.totals().joules == before.joules);
            RC_ASSERT(integral.totals().onMs == before.onMs);
        }
        RC_ASSERT(integral.totals().joules >= before.joules);
    }
    void show(std::ostream& os) const override {
        os << (isVolts ? "volts " : "amps ") << value << " after " << after << " ms";
    }
};

struct SwitchOutput : Command {
    bool on = *rc::gen::arbitrary<bool>();
    void apply(Model& m) const override {
        if (on != m.on)
            m.lastSample.reset();
        m.on = on;
    }
    void run(const Model& m, EnergyIntegral& integral) const override {
        const EnergyIntegral::Totals before = integral.totals();
        integral.output(on);
        RC_ASSERT(integral.totals().joules == before.joules);
        Model next = m;
        apply(next);
        checkTotals(next, integral);
    }
    void show(std::ostream& os) const override { os << "output " << (on ? "on" : "off"); }
};

struct LinkEventHappens : Command {
    void apply(Model& m) const override {
        m.voltsKnown = m.ampsKnown = false;
        m.lastSample.reset();
    }
    void run(const Model& m, EnergyIntegral& integral) const override {
        integral.interrupt();
        Model next = m;
        apply(next);
        checkTotals(next, integral);
    }
    void show(std::ostream& os) const override { os << "link event"; }
};

struct ResetMeter : Command {
    void apply(Model& m) const override {
        m.onBound = 0;
        m.lastSample.reset();
    }
    void run(const Model&, EnergyIntegral& integral) const override {
        integral.reset();
        RC_ASSERT(integral.totals().joules == 0.0);
        RC_ASSERT(integral.totals().coulombs == 0.0);
        RC_ASSERT(integral.totals().onMs == 0);
    }
    void show(std::ostream& os) const override { os << "reset"; }
};

} // namespace

Q_DECLARE_METATYPE(Script)

class TestMeter : public QObject {
    Q_OBJECT
private slots:
    void integralOverScriptedReadings_data();
    void integralOverScriptedReadings();
    void integralKeepsItsBoundsWhateverTheOrder();
    void meterFollowsTheModelAndResets();
    void lostLineIsNotIntegrated();
    void timerSwitchesTheOutputOff();
    void timerCancelledByHand();
    void timerWaitsForTheOutput();
    void timerRefusesDurationsOutOfRange();
};

void TestMeter::integralOverScriptedReadings_data() {
    QTest::addColumn<Script>("script");
    QTest::addColumn<double>("joules");
    QTest::addColumn<double>("coulombs");
    QTest::addColumn<double>("onSeconds");

    // 12 V at 0.5 A over ten cycles: the chain runs from the first full
    // sample (0.5 s) to the last (81.5 s).
    QTest::newRow("steady load, output on")
        << (Script{output(true)} + cycles(10, 0, 12, 0.5)) << 6.0 * 81 << 0.5 * 81 << 81.0;
    QTest::newRow("output off: nothing")
        << (Script{output(false)} + cycles(10, 0, 12, 0.5)) << 0.0 << 0.0 << 0.0;
    // A linear ramp of current at a fixed voltage is integrated exactly.
    Script ramp{output(true), volts(10, 0)};
    for (int i = 0; i <= 4; ++i)
        ramp << amps(0.25 * i, 9.0 * i);
    QTest::newRow("current ramp, trapezoids exact") << ramp << 10 * 0.5 * 36 << 0.5 * 36 << 36.0;
    // A stop of polling between cycle 3 and the next: the 8.5 s across it
    // does not count.
    QTest::newRow("link event between readings")
        << (Script{output(true)} + cycles(3, 0, 10, 1) + Script{interrupt()} + cycles(3, 27, 10, 1))
        << 10.0 * (18 + 18) << 1.0 * 36 << 36.0;
    // Readings 18 s apart still pair; 18.5 s apart do not.
    QTest::newRow("gap of two cycles pairs")
        << Script{output(true), volts(5, 0), amps(1, 0), amps(1, 18)} << 90.0 << 18.0 << 18.0;
    QTest::newRow("gap beyond two cycles does not")
        << Script{output(true), volts(5, 0), amps(1, 0), amps(1, 18.5), amps(1, 20.5)} << 10.0
        << 2.0 << 2.0;
    // The output read off in the middle: the stretch around the change and
    // the time off do not count, the chain starts again after it is on.
    QTest::newRow("output off and on again")
        << (Script{output(true)} + cycles(2, 0, 10, 1) + Script{output(false)} +
            cycles(2, 18, 10, 1) + Script{output(true)} + cycles(2, 36, 10, 1))
        << 10.0 * (9 + 9.5) << 1.0 * 18.5 << 18.5;
    QTest::newRow("clock set back pairs nothing")
        << Script{output(true), volts(5, 100), amps(1, 100), amps(1, 50), amps(1, 59)} << 45.0
        << 9.0 << 9.0;
    QTest::newRow("reset starts from zero")
        << (Script{output(true)} + cycles(3, 0, 10, 1) + Script{reset()} + cycles(2, 27, 10, 1))
        << 10.0 * 9.5 << 9.5 << 9.5;
}

void TestMeter::integralOverScriptedReadings() {
    QFETCH(Script, script);
    QFETCH(double, joules);
    QFETCH(double, coulombs);
    QFETCH(double, onSeconds);
    EnergyIntegral integral;
    for (const Step& step : script)
        apply(integral, step);
    QCOMPARE(integral.totals().joules, joules);
    QCOMPARE(integral.totals().coulombs, coulombs);
    QCOMPARE(double(integral.totals().onMs) / 1000.0, onSeconds);
}

void TestMeter::integralKeepsItsBoundsWhateverTheOrder() {
    const bool ok = rc::check("integral over random readings, link events and resets", [] {
        Model model;
        EnergyIntegral integral;
        rc::state::check(model, integral,
                         rc::state::gen::execOneOfWithArgs<Read, Read, Read, Read, SwitchOutput,
                                                           LinkEventHappens, ResetMeter>());
    });
    QVERIFY(ok);
}

void TestMeter::meterFollowsTheModelAndResets() {
    SupplyModel model;
    EnergyMeter meter(model);
    QSignalSpy notes(&model, &SupplyModel::noted);
    const QDateTime t0 = QDateTime::currentDateTime();
    QVERIFY(!meter.watts());
    model.setOutput(OutputState::On, t0);
    model.setNumber(Quantity::MeasuredVoltage, 12, t0);
    QVERIFY(!meter.watts());
    model.setNumber(Quantity::MeasuredCurrent, 2, t0);
    QCOMPARE(meter.watts(), 24.0);
    // A setpoint is no reading of the load.
    model.setNumber(Quantity::SetCurrent, 3, t0.addSecs(1));
    model.setNumber(Quantity::MeasuredCurrent, 2, t0.addSecs(9));
    QCOMPARE(meter.wattHours(), 24.0 * 9 / 3600);
    QCOMPARE(meter.ampHours(), 2.0 * 9 / 3600);
    QCOMPARE(meter.outputOnSeconds(), 9.0);
    QCOMPARE(meter.summaryText(),
             QStringLiteral("energy 0.0600 Wh charge 0.0050 Ah output on 9 s"));

    meter.reset();
    QCOMPARE(meter.joules(), 0.0);
    QCOMPARE(meter.outputOnSeconds(), 0.0);
    QCOMPARE(notes.size(), 1);
    QCOMPARE(notes.at(0).at(0).toString(), QStringLiteral("meter reset"));
    // The power is still known; the next readings count from the reset.
    QCOMPARE(meter.watts(), 24.0);
    model.setNumber(Quantity::MeasuredVoltage, 12, t0.addSecs(18));
    model.setNumber(Quantity::MeasuredCurrent, 2, t0.addSecs(19));
    QCOMPARE(meter.joules(), 24.0);
}

// Cycles before and after a lost line count; the time the line was away
// does not, however long.
void TestMeter::lostLineIsNotIntegrated() {
    ScriptedRun run;
    run.controller.setReconnecting(true);
    run.openAndPoll();
    // The first cycle reads the output on; the chain starts in the second.
    for (int cycle = 0; cycle < 3; ++cycle) {
        run.cycle();
        QTest::qWait(30);
    }
    const EnergyMeter& meter = run.controller.meter();
    const double onBefore = meter.outputOnSeconds();
    QVERIFY(onBefore > 0.0);
    QVERIFY(meter.watts());
    QCOMPARE(*meter.watts(), 12.0 * 0.85);

    QElapsedTimer away;
    away.start();
    run.comm->presentPorts = {};
    run.comm->vanish();
    QVERIFY(!run.comm->PortOpen());
    QTest::qWait(400);
    run.comm->presentPorts = {3};
    QTRY_VERIFY_WITH_TIMEOUT(run.comm->PortOpen(), 2000);
    const double awaySeconds = double(away.elapsed()) / 1000.0;
    run.cycle();
    QTest::qWait(30);
    run.cycle();
    QVERIFY(meter.outputOnSeconds() > onBefore);
    QVERIFY2(meter.outputOnSeconds() - onBefore < awaySeconds / 2,
             qPrintable(QString::number(meter.outputOnSeconds() - onBefore)));
    QCOMPARE(meter.joules(), meter.outputOnSeconds() * 12.0 * 0.85);
}

void TestMeter::timerSwitchesTheOutputOff() {
    ScriptedRun run;
    run.openAndPoll();
    run.cycle();
    QCOMPARE(run.controller.link().switches().shownOutput(), OutputState::On);
    OutputTimer& timer = run.controller.outputTimer();
    QSignalSpy notes(&run.controller.link().model(), &SupplyModel::noted);
    QSignalSpy expired(&timer, &OutputTimer::expired);
    (void)run.comm->takeWritten();
    QVERIFY(timer.start(1s));
    QCOMPARE(timer.state(), OutputTimer::State::Counting);
    QVERIFY(timer.remaining() <= 1s && timer.remaining() > 0s);
    QVERIFY(expired.wait(3000));
    QCOMPARE(timer.state(), OutputTimer::State::Idle);
    QVERIFY(run.comm->takeWritten().contains(Commands::OutputOff));
    QCOMPARE(run.controller.link().switches().shownOutput(), OutputState::Off);
    QStringList texts;
    for (const QList<QVariant>& note : notes)
        texts << note.at(0).toString();
    QCOMPARE(texts, QStringList({"output timer set 1 s", "output timer running 1 s left",
                                 "output timer expired"}));
}

void TestMeter::timerCancelledByHand() {
    ScriptedRun run;
    run.openAndPoll();
    run.cycle();
    OutputTimer& timer = run.controller.outputTimer();
    QSignalSpy expired(&timer, &OutputTimer::expired);
    QSignalSpy notes(&run.controller.link().model(), &SupplyModel::noted);
    QVERIFY(timer.start(1s));
    run.controller.link().switches().toggleOutput();
    QCOMPARE(timer.state(), OutputTimer::State::Idle);
    QVERIFY(notes.last().at(0).toString().startsWith(QLatin1String("output timer cancelled ")));
    // Switched on again, it stays cancelled and never switches off.
    run.controller.link().switches().toggleOutput();
    (void)run.comm->takeWritten();
    QVERIFY(!expired.wait(1500));
    QVERIFY(!run.comm->takeWritten().contains(Commands::OutputOff));
    QCOMPARE(timer.remaining(), 0s);
}

void TestMeter::timerWaitsForTheOutput() {
    ScriptedRun run;
    run.supply.replies.insert("OUTPut:STATe?CR", "0\r\n");
    run.openAndPoll();
    run.cycle();
    OutputTimer& timer = run.controller.outputTimer();
    QVERIFY(timer.start(90s));
    QCOMPARE(timer.state(), OutputTimer::State::Waiting);
    QCOMPARE(timer.remaining(), 90s);
    // Readings that find it off leave it waiting.
    run.cycle();
    QCOMPARE(timer.state(), OutputTimer::State::Waiting);
    run.controller.link().switches().toggleOutput();
    QCOMPARE(timer.state(), OutputTimer::State::Counting);
    QVERIFY(timer.remaining() <= 90s && timer.remaining() > 85s);
    timer.cancel();
    QCOMPARE(timer.state(), OutputTimer::State::Idle);
}

void TestMeter::timerRefusesDurationsOutOfRange() {
    ScriptedRun run;
    OutputTimer& timer = run.controller.outputTimer();
    for (const std::chrono::seconds duration : {0s, -5s, OutputTimer::Longest + 1s}) {
        QVERIFY(!timer.start(duration));
        QCOMPARE(timer.state(), OutputTimer::State::Idle);
    }
    QVERIFY(timer.start(OutputTimer::Longest));
}

QTEST_GUILESS_MAIN(TestMeter)
#include "test_meter.moc"
