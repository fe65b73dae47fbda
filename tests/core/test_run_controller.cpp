// The run's controller under Qt Core alone: launch order, reconnection and
// recording, on a scripted line and on the real serial control against the
// simulated supply; and the metrics page it serves, read as Prometheus text.
#include "control/RunController.h"
#include "metrics/SupplyMetrics.h"
#include "remote/RemoteServices.h"
#include "serial/PortDirectory.h"
#include "serial/QtSerialControl.h"
#include "support/RecordedCsv.h"
#include "support/ScriptedSerialControl.h"
#include "support/ScriptedSupply.h"
#include "support/SimSupply.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

namespace {

constexpr int kFastMs = 50;

LaunchOptions launchOn(const QString& port, bool reconnect, bool poll = true) {
    LaunchOptions options;
    options.port = port;
    options.reconnect = reconnect;
    options.poll = poll;
    return options;
}

// The event column of every row of a recording, in order.
QStringList recordedEvents(const QString& path) {
    QStringList events;
    for (const QString& line : RecordedCsv::lines(path).mid(1)) {
        const QString event = RecordedCsv::fields(line).last();
        if (!event.isEmpty())
            events.append(event);
    }
    return events;
}

// One sample of the page: "name{labels} value".
struct Sample {
    QString name;
    QString labels;
    double value = 0;
};

// The page as Prometheus text: every line a comment (HELP or TYPE) or a
// sample; a problem found makes `error` non-empty.
QList<Sample> parsePage(const QString& page, QMap<QString, QString>& types, QString& error) {
    static const QRegularExpression sample(QStringLiteral(
        R"(^([a-zA-Z_:][a-zA-Z0-9_:]*)(\{[^}]*\})? (-?[0-9.eE+-]+|[+-]Inf|NaN|Nan)$)"));
    static const QRegularExpression type(
        QStringLiteral(R"(^# TYPE ([a-zA-Z_:][a-zA-Z0-9_:]*) (gauge|counter|summary|histogram)$)"));
    QList<Sample> samples;
    for (const QString& line : page.split(u'\n', Qt::SkipEmptyParts)) {
        if (const auto m = type.match(line); m.hasMatch()) {
            types.insert(m.captured(1), m.captured(2));
        } else if (line.startsWith(QLatin1String("# HELP "))) {
            continue;
        } else if (const auto s = sample.match(line); s.hasMatch()) {
            samples.append({s.captured(1), s.captured(2), s.captured(3).toDouble()});
        } else {
            error = QStringLiteral("not Prometheus text: ") + line;
        }
    }
    return samples;
}

QString scrape(quint16 port) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(3000))
        return {};
    socket.write("GET /metrics HTTP/1.0\r\nHost: localhost\r\n\r\n");
    QByteArray reply;
    while (socket.waitForReadyRead(3000))
        reply += socket.readAll();
    // The page's tail may come with the server's close, after the last wait.
    reply += socket.readAll();
    const qsizetype body = reply.indexOf("\r\n\r\n");
    return body < 0 ? QString() : QString::fromUtf8(reply.mid(body + 4));
}

// A controller on a scripted line whose supply answers every query.
struct ScriptedRun {
    ScriptedRun()
        : comm(new ScriptedSerialControl),
          controller(std::unique_ptr<SerialControl>(comm), &RemoteServices::make, nullptr, kFastMs),
          supply(*comm) {
        supply.replies = typicalReplies();
    }
    void tick() {
        controller.link().polling().SysTickTimer_Timer();
        QCoreApplication::processEvents();
    }
    ScriptedSerialControl* comm;
    RunController controller;
    ScriptedSupply supply;
};

} // namespace

class TestRunController : public QObject {
    Q_OBJECT
private slots:
    void launchOrderWhenThePortStaysAway_data();
    void launchOrderWhenThePortStaysAway();
    void everyOpeningDecodesAndRecords_data();
    void everyOpeningDecodesAndRecords();
    void metricsPageAfterAPollingCycle();
    void networkSideMadeOnFirstUseOnly();
    void meterIntegratesASimulatedLoad();
    void scriptWatchdog_data();
    void scriptWatchdog();
    void failedOpeningKeepsTheOwedOff();
};

void TestRunController::launchOrderWhenThePortStaysAway_data() {
    QTest::addColumn<bool>("reconnect");
    QTest::addColumn<int>("openingsAfterwards");
    QTest::newRow("without --reconnect: one opening, tried twice, then nothing") << false << 0;
    QTest::newRow("with --reconnect: tried quietly until it opens") << true << 1;
}

void TestRunController::launchOrderWhenThePortStaysAway() {
    QFETCH(bool, reconnect);
    QFETCH(int, openingsAfterwards);
    ScriptedRun run;
    run.comm->presentPorts = {};
    QSignalSpy boxes(&run.controller.link().notices(), &Notices::openFailed);
    const LaunchOptions options = launchOn(QStringLiteral("COM3"), reconnect);
    run.controller.launch(options, RunController::requestFor(options));
    QVERIFY(!run.comm->PortOpen());
    QCOMPARE(boxes.size(), reconnect ? 0 : 1);
    QCOMPARE(run.controller.reconnector().isTrying(), reconnect);
    QVERIFY(!run.controller.link().polling().isPolling());

    const int before = run.comm->openings;
    run.comm->presentPorts = {3};
    QTest::qWait(kFastMs * 4);
    QCOMPARE(run.comm->openings - before, openingsAfterwards);
    QCOMPARE(run.comm->PortOpen(), reconnect);
    // Polling asked for at launch starts once the port is open.
    QCOMPARE(run.controller.link().polling().isPolling(), reconnect);
    QCOMPARE(boxes.size(), reconnect ? 0 : 1);
}

void TestRunController::everyOpeningDecodesAndRecords_data() {
    QTest::addColumn<QString>("way");
    QTest::addColumn<QStringList>("simOptions");
    QTest::newRow("port button") << "button" << QStringList();
    QTest::newRow("--port --poll") << "launch" << QStringList();
    QTest::newRow("--port --poll --reconnect") << "reconnect" << QStringList();
    QTest::newRow("reopened after a loss")
        << "reopened" << QStringList({"--vanish-after", "1", "--return-after", "1"});
}

void TestRunController::everyOpeningDecodesAndRecords() {
    QFETCH(QString, way);
    QFETCH(QStringList, simOptions);
    SimSupply sim;
    QVERIFY(sim.start(simOptions));
    RunController controller(std::make_unique<QtSerialControl>(PortDirectory(sim.linkFolder())),
                             &RemoteServices::make, nullptr, 200);
    const LaunchOptions options = launchOn(QStringLiteral("COM200"), way != "launch");
    const PortRequest request = RunController::requestFor(options);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("run.csv"));
    QVERIFY(controller.recorder().start(file, CsvRecorder::Existing::Refuse));
    if (way == "button") {
        controller.switchPort(request);
        controller.togglePolling();
    } else {
        controller.launch(options, request);
    }
    SupplyModel& model = controller.link().model();
    QDateTime from;
    if (way == "reopened") {
        // Only readings that come after the reopening count.
        QSignalSpy reopened(&controller, &RunController::reopened);
        QVERIFY(reopened.wait(10000));
        from = QDateTime::currentDateTime();
    }
    QVERIFY(QTest::qWaitFor([&] { return model.reading(Quantity::MeasuredCurrent).time > from; },
                            10000));
    QVERIFY(controller.link().polling().isPolling());
    controller.finish();
    const QStringList events = recordedEvents(file);
    if (way == "reopened")
        QCOMPARE(events.mid(events.indexOf("port lost"), 4),
                 QStringList({"port lost", "polling stopped", "port reopened", "polling started"}));
    int readings = 0;
    for (const QString& line : RecordedCsv::lines(file).mid(1)) {
        QVERIFY2(RecordedCsv::problem(line).isEmpty(), qPrintable(line));
        readings += !RecordedCsv::fields(line).at(RecordedCsv::column("reading")).isEmpty();
    }
    QVERIFY(readings >= 2);
}

void TestRunController::metricsPageAfterAPollingCycle() {
    ScriptedRun run;
    MetricsAddress where;
    where.port = 0;
    QString error;
    QVERIFY2(run.controller.serveMetrics(where, QStringLiteral("COM3"), &error), qPrintable(error));
    const quint16 port =
        static_cast<RemoteServices*>(run.controller.remote())->metrics()->listeningPort();
    QVERIFY(port != 0);

    QMap<QString, QString> types;
    QString problem;
    const auto valueOf = [](const QList<Sample>& samples, const QString& name,
                            const QString& label = {}) -> std::optional<double> {
        for (const Sample& s : samples)
            if (s.name == name && s.labels.contains(label) &&
                s.labels.contains(QLatin1String("port=\"COM3\"")))
                return s.value;
        return std::nullopt;
    };
    QList<Sample> before = parsePage(scrape(port), types, problem);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QCOMPARE(valueOf(before, "velmor_port_open"), 0.0);
    // Nothing read yet: no read-out and no reading time on the page.
    QVERIFY(!valueOf(before, "velmor_measured_voltage_volts"));
    QVERIFY(!valueOf(before, "velmor_last_reading_timestamp_seconds"));

    LaunchOptions options = launchOn(QStringLiteral("COM3"), false);
    run.controller.launch(options, RunController::requestFor(options));
    for (int step = 0; step < 18; ++step)
        run.tick();
    const QList<Sample> after = parsePage(scrape(port), types, problem);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));

    const SupplyModel& model = run.controller.link().model();
    const struct {
        const char* name;
        Quantity quantity;
    } readOuts[] = {{"velmor_measured_voltage_volts", Quantity::MeasuredVoltage},
                    {"velmor_measured_current_amperes", Quantity::MeasuredCurrent},
                    {"velmor_set_voltage_volts", Quantity::SetVoltage},
                    {"velmor_set_current_amperes", Quantity::SetCurrent},
                    {"velmor_over_voltage_protection_volts", Quantity::OverVoltage},
                    {"velmor_over_current_protection_amperes", Quantity::OverCurrent}};
    for (const auto& readOut : readOuts) {
        QCOMPARE(types.value(readOut.name), QStringLiteral("gauge"));
        QCOMPARE(valueOf(after, readOut.name), model.number(readOut.quantity));
    }
    QCOMPARE(valueOf(after, "velmor_port_open"), 1.0);
    QCOMPARE(valueOf(after, "velmor_polling"), 1.0);
    QCOMPARE(valueOf(after, "velmor_output_on"), 1.0);
    QCOMPARE(valueOf(after, "velmor_tracking_mode", "mode=\"independent\""), 1.0);
    QCOMPARE(valueOf(after, "velmor_tracking_mode", "mode=\"series\""), 0.0);
    QCOMPARE(valueOf(after, "velmor_channel"), 1.0);
    const auto readAt =
        valueOf(after, "velmor_last_reading_timestamp_seconds", "quantity=\"measured_voltage\"");
    QVERIFY(readAt);
    QCOMPARE(qint64(*readAt * 1000),
             model.reading(Quantity::MeasuredVoltage).time.toMSecsSinceEpoch());
    for (const char* counter : {"velmor_received_bytes_total", "velmor_replies_decoded_total"}) {
        QCOMPARE(types.value(counter), QStringLiteral("counter"));
        QVERIFY2(*valueOf(after, counter) > valueOf(before, counter).value_or(0), counter);
    }
    QCOMPARE(valueOf(after, "velmor_received_bytes_total"),
             double(run.controller.link().trafficLog().rxCount()));
    QCOMPARE(valueOf(after, "velmor_replies_decoded_total"), 9.0);
    QCOMPARE(valueOf(after, "velmor_replies_rejected_total"), 0.0);

    // A garbled reply is counted as rejected, not decoded.
    run.supply.replies.insert("MEASure:SCALar:VOLTage:DC?CR", "+1.2x456E+01\r\n");
    for (int step = 0; step < 18; ++step)
        run.tick();
    const QList<Sample> garbled = parsePage(scrape(port), types, problem);
    QCOMPARE(valueOf(garbled, "velmor_replies_rejected_total"), 1.0);
    QCOMPARE(valueOf(garbled, "velmor_replies_decoded_total"), 17.0);

    // A watch alarm stands on the page while the reading is outside its band.
    const QString current = QStringLiteral("quantity=\"measured_current\"");
    QCOMPARE(valueOf(garbled, "velmor_limit_alarm", current), 0.0);
    WatchLimits::Settings watch;
    watch.current.lower = WatchLimits::Bound{1e9, WatchLimits::Action::Note};
    QVERIFY(run.controller.automation().watch().setSettings(watch));
    for (int step = 0; step < 18; ++step)
        run.tick();
    const QList<Sample> alarmed = parsePage(scrape(port), types, problem);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QCOMPARE(valueOf(alarmed, "velmor_limit_alarm", current), 1.0);

    // The meter: power at the latest reading, totals as counters that a
    // reset starts again from zero.
    const EnergyMeter& meter = run.controller.meter();
    QCOMPARE(types.value("velmor_power_watts"), QStringLiteral("gauge"));
    QCOMPARE(valueOf(alarmed, "velmor_power_watts"), 12.0 * 0.85);
    for (const char* counter :
         {"velmor_output_energy_joules_total", "velmor_output_charge_coulombs_total",
          "velmor_output_on_seconds_total"})
        QCOMPARE(types.value(counter), QStringLiteral("counter"));
    QVERIFY(meter.joules() > 0);
    // The page gives a double in its shortest text: the same number, not
    // always the same bits.
    const auto near = [](std::optional<double> shown, double total) {
        return shown && qAbs(*shown - total) <= 1e-12 * qMax(1.0, qAbs(total));
    };
    QVERIFY(near(valueOf(alarmed, "velmor_output_energy_joules_total"), meter.joules()));
    QVERIFY(near(valueOf(alarmed, "velmor_output_charge_coulombs_total"), meter.coulombs()));
    QVERIFY(near(valueOf(alarmed, "velmor_output_on_seconds_total"), meter.outputOnSeconds()));
    run.controller.meter().reset();
    QCOMPARE(valueOf(parsePage(scrape(port), types, problem), "velmor_output_energy_joules_total"),
             0.0);
}

// The script server and the metrics page are made when first asked for,
// once; a factory that fails (a module that will not load) is said, and
// asked again next time.
void TestRunController::networkSideMadeOnFirstUseOnly() {
    int asked = 0;
    RunController controller(std::make_unique<ScriptedSerialControl>(),
                             [&asked](const RemoteAccess::Parts& parts, QString* error) {
                                 if (++asked == 1) {
                                     *error = QStringLiteral("no module");
                                     return std::unique_ptr<RemoteAccess>();
                                 }
                                 return RemoteServices::make(parts, error);
                             });
    QSignalSpy opened(&controller, &RunController::remoteOpened);
    QVERIFY(!controller.remote());
    MetricsAddress where;
    where.port = 0;
    QString error;
    QVERIFY(!controller.serveMetrics(where, QStringLiteral("COM3"), &error));
    QCOMPARE(error, QStringLiteral("no module"));
    QVERIFY(!controller.remote());
    QVERIFY(controller.serveMetrics(where, QStringLiteral("COM3"), &error));
    QVERIFY(controller.remote()->isServingMetrics());
    QCOMPARE(controller.openRemote(&error), controller.remote());
    QCOMPARE(asked, 2);
    QCOMPARE(opened.count(), 1);
}

// The simulated supply on a 10 ohm load at 5 V draws 2.5 W. Polled cycle
// after cycle, the meter's energy is that power over the time the output
// was read on, and that time is the stretch of readings since the output
// was first read on, short of at most the reading spacing at either end.
void TestRunController::meterIntegratesASimulatedLoad() {
    SimSupply sim;
    QVERIFY(sim.start({"--load-ohms", "10"}));
    RunController controller(std::make_unique<QtSerialControl>(PortDirectory(sim.linkFolder())),
                             &RemoteServices::make, nullptr, 200);
    const LaunchOptions options = launchOn(QStringLiteral("COM200"), false, false);
    controller.switchPort(RunController::requestFor(options));
    QVERIFY(controller.link().MSComm().PortOpen());
    QVERIFY(controller.link().switches().setOutput(OutputState::On));
    SupplyModel& model = controller.link().model();
    QDateTime firstOn;
    QDateTime lastPair;
    QDateTime previousPair;
    qint64 widestSpacing = 0;
    connect(&model, &SupplyModel::changed, this,
            [&](Quantity quantity, const QVariant& value, const QDateTime& time) {
                if (quantity == Quantity::Output && !firstOn.isValid() &&
                    value.value<OutputState>() == OutputState::On)
                    firstOn = time;
                if (quantity == Quantity::MeasuredVoltage ||
                    quantity == Quantity::MeasuredCurrent) {
                    if (previousPair.isValid())
                        widestSpacing = std::max(widestSpacing, previousPair.msecsTo(time));
                    previousPair = time;
                    lastPair = time;
                }
            });
    // The cycle driven step by step as fast as the simulator answers.
    PollingCycle& polling = controller.link().polling();
    for (int step = 0; step < 18 * 8; ++step) {
        polling.SysTickTimer_Timer();
        QVERIFY(QTest::qWaitFor(
            [&] { return controller.link().line().state() == LineArbiter::State::Free; }, 2000));
        QTest::qWait(5);
    }
    const EnergyMeter& meter = controller.meter();
    QVERIFY(firstOn.isValid());
    QVERIFY(meter.watts());
    QCOMPARE(*meter.watts(), 2.5);
    const double readOn = double(firstOn.msecsTo(lastPair)) / 1000.0;
    const double spacing = double(widestSpacing) / 1000.0;
    QVERIFY2(meter.outputOnSeconds() <= readOn && meter.outputOnSeconds() >= readOn - 2 * spacing,
             qPrintable(QStringLiteral("%1 s counted, %2 s read on, readings up to %3 s apart")
                            .arg(meter.outputOnSeconds())
                            .arg(readOn)
                            .arg(spacing)));
    QVERIFY(meter.outputOnSeconds() > 0.5);
    QCOMPARE(meter.joules(), 2.5 * meter.outputOnSeconds());
    QCOMPARE(meter.coulombs(), 0.5 * meter.outputOnSeconds());
}

void TestRunController::scriptWatchdog_data() {
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("pings");
    QTest::addColumn<bool>("hangUp");
    QTest::addColumn<bool>("switchedOff");
    QTest::newRow("silent") << QByteArray("SYST:WDOG 1;WDOG?") << QByteArray("1") << 0 << false
                            << true;
    QTest::newRow("talking") << QByteArray("SYST:WDOG 1;WDOG?") << QByteArray("1") << 8 << false
                             << true;
    QTest::newRow("dropped") << QByteArray("SYST:WDOG 3600;WDOG?") << QByteArray("3600") << 0
                             << true << true;
    QTest::newRow("disarmed") << QByteArray("SYST:WDOG 1;WDOG 0;WDOG?") << QByteArray("0") << 0
                              << true << false;
    QTest::newRow("refused") << QByteArray("SYST:WDOG 3601;WDOG -1;WDOG?;ERR?;ERR?")
                             << QByteArray("0;-222,\"Data out of range\";-222,\"Data out of "
                                           "range\"")
                             << 0 << true << false;
}

// An armed watchdog takes the output off through the run's safe state once
// its client is silent for its time or gone, and only then.
void TestRunController::scriptWatchdog() {
    QFETCH(QByteArray, lines);
    QFETCH(QByteArray, reply);
    QFETCH(int, pings);
    QFETCH(bool, hangUp);
    QFETCH(bool, switchedOff);
    ScriptedRun run;
    run.controller.switchPort(RunController::requestFor(launchOn("COM3", false, false)));
    QString error;
    QVERIFY(run.controller.openRemote(&error)->listenScpi(0, {}, &error));
    QSignalSpy notes(&run.controller.link().model(), &SupplyModel::noted);
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, run.controller.remote()->scpiPort());
    client.write(lines + '\n');
    QTRY_VERIFY(client.canReadLine());
    QCOMPARE(client.readLine().trimmed(), reply);
    const auto offSent = [&] { return run.comm->written().contains("OUTP 0CR"); };
    for (int k = 0; k < pings; ++k, QTest::qWait(300)) {
        client.write("*OPC?\n");
        QVERIFY(!offSent());
    }
    if (hangUp)
        client.abort();
    QTest::qWait(switchedOff ? 0 : 1500);
    QTRY_COMPARE_WITH_TIMEOUT(offSent(), switchedOff, 3000);
    QCOMPARE(notes.count(), int(switchedOff));
    if (switchedOff)
        QVERIFY(notes[0][0].toString().startsWith("script watchdog of client 127.0.0.1:"));
}

QTEST_GUILESS_MAIN(TestRunController)
#include "test_run_controller.moc"

// A supply pulled out with an output-off owed, and the operator pressing the
// port button before it is back: the reconnection goes on, and the off is
// the first thing written once the supply returns.
void TestRunController::failedOpeningKeepsTheOwedOff() {
    ScriptedRun run;
    const LaunchOptions options = launchOn(QStringLiteral("COM3"), true);
    run.controller.launch(options, RunController::requestFor(options));
    QVERIFY(run.comm->PortOpen());
    SupplySwitches& switches = run.controller.link().switches();
    run.comm->presentPorts = {};
    run.comm->vanish();
    QVERIFY(!switches.switchOffNow());
    QVERIFY(switches.offOwed());

    run.controller.switchPort(RunController::requestFor(options));
    QVERIFY(!run.comm->PortOpen());
    run.comm->takeWritten();
    run.comm->presentPorts = {3};
    QVERIFY(QTest::qWaitFor([&] { return run.comm->PortOpen(); }, kFastMs * 10));
    QVERIFY(run.comm->takeWritten().startsWith(Commands::OutputOff));
    QVERIFY(!switches.offOwed());
}
