// The supply core on its own: no widget, no display, only Qt Core.
#include "supply/SupplyLink.h"
#include "support/ScriptedSerialControl.h"
#include "support/ScriptedSupply.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

PortRequest com3() {
    return {QStringLiteral("COM3"),
            3,
            QStringLiteral("9600"),
            QStringLiteral("NONE"),
            QStringLiteral("8"),
            QStringLiteral("1"),
            {}};
}

// A link on a scripted serial control, opened on COM3.
struct CoreFixture {
    CoreFixture() : comm(new ScriptedSerialControl), link(std::unique_ptr<SerialControl>(comm)) {
        link.portSession().toggle(com3());
        comm->writes.clear();
    }
    // One tick, then what the supply answers to it.
    void tick() {
        link.polling().SysTickTimer_Timer();
        QCoreApplication::processEvents();
    }

    ScriptedSerialControl* comm;
    SupplyLink link;
};

} // namespace

class TestSupplyLink : public QObject {
    Q_OBJECT
private slots:
    void aCycleFillsTheModel();
    void repeatedReadingsAreAnnounced();
    void seriesReportSendsModeAndDoublesLimits();
    void garbledReportsChangeNothing_data();
    void garbledReportsChangeNothing();
    void lostLineClosesTheLink();
    void linkEventsInOrder();
    void identityRepliesBecomeTexts();
};

void TestSupplyLink::aCycleFillsTheModel() {
    CoreFixture core;
    ScriptedSupply supply(*core.comm);
    const SupplyModel& model = core.link.model();
    QSignalSpy changes(&model, &SupplyModel::changed);
    const QDateTime before = QDateTime::currentDateTime();
    for (int i = 0; i < 18; ++i)
        core.tick();
    const QDateTime after = QDateTime::currentDateTime();

    const QPair<Quantity, double> numbers[] = {
        {Quantity::MeasuredVoltage, 12.0}, {Quantity::MeasuredCurrent, 0.85},
        {Quantity::SetVoltage, 12.5},      {Quantity::SetCurrent, 1.5},
        {Quantity::OverVoltage, 33.0},     {Quantity::OverCurrent, 3.3}};
    for (const auto& [quantity, value] : numbers) {
        QCOMPARE(model.number(quantity), std::optional<double>(value));
        const QDateTime time = model.reading(quantity).time;
        QVERIFY(time >= before && time <= after);
    }
    QCOMPARE(model.output(), std::optional(OutputState::On));
    QCOMPARE(model.mode(), std::optional(TrackingMode::Independent));
    QCOMPARE(model.channel(), std::optional(1));
    // Readings arrive in cycle order, each with the value it carries.
    QCOMPARE(changes.size(), 9);
    QCOMPARE(changes.first().at(0).value<Quantity>(), Quantity::MeasuredVoltage);
    QCOMPARE(changes.first().at(1).toDouble(), 12.0);
    QCOMPARE(changes.last().at(0).value<Quantity>(), Quantity::Channel);
    // The identity texts are not polled.
    QVERIFY(!model.known(Quantity::Version));
    QVERIFY(!model.known(Quantity::Identification));
    // An independent supply on channel 1 reported as such: nothing but queries went out.
    QVERIFY(!core.comm->takeWritten().contains(QStringLiteral("SOUR:MODE ")));
}

void TestSupplyLink::repeatedReadingsAreAnnounced() {
    CoreFixture core;
    QSignalSpy changes(&core.link.model(), &SupplyModel::changed);
    core.link.state().step = PollingStep::MeasuredCurrent;
    core.comm->receive("-2.50000E-01\r\n");
    core.comm->receive("-2.50000E-01\r\n");
    QCOMPARE(changes.size(), 2);
    QCOMPARE(core.link.model().number(Quantity::MeasuredCurrent), std::optional(-0.25));
    // A negative zero is plain zero.
    core.comm->receive("-0.00000E+00\r\n");
    QCOMPARE(core.link.model().number(Quantity::MeasuredCurrent), std::optional(0.0));
    QVERIFY(!std::signbit(*core.link.model().number(Quantity::MeasuredCurrent)));
}

void TestSupplyLink::seriesReportSendsModeAndDoublesLimits() {
    CoreFixture core;
    RatingLimits& rating = core.link.rating();
    rating.setVoltageRatingText(QStringLiteral("30  V"));
    rating.setCurrentRatingText(QStringLiteral("3   A"));
    rating.applyVoltageRating();
    rating.applyCurrentRating();
    QCOMPARE(rating.limits().CVSetValueMax, 30 * 1.05);
    QSignalSpy selected(&core.link.switches(), &SupplySwitches::modeSelected);
    QSignalSpy applied(&rating, &RatingLimits::voltageLimitsApplied);

    core.link.state().step = PollingStep::Mode;
    core.comm->receive("2\r\n");
    QCOMPARE(core.comm->takeWritten(), QStringLiteral("SOUR:MODE 2CR"));
    QCOMPARE(selected.size(), 1);
    QCOMPARE(selected.first().at(0).value<TrackingMode>(), TrackingMode::Series);
    QCOMPARE(applied.size(), 1);
    // Series doubles the voltage half and leaves the current half.
    QCOMPARE(rating.limits().CVSetValueMax, 2 * (30 * 1.05));
    QCOMPARE(rating.limits().OVPSetValueMax, 60 * 1.1);
    QCOMPARE(rating.limits().CCSetValueMax, 3 * 1.05);
    QCOMPARE(core.link.state().step, PollingStep::SetVoltage);
    QCOMPARE(core.link.model().mode(), std::optional(TrackingMode::Series));

    // The same report again sends nothing and recomputes nothing.
    core.link.state().step = PollingStep::Mode;
    core.comm->receive("2\r\n");
    QCOMPARE(core.comm->takeWritten(), QString());
    QCOMPARE(applied.size(), 1);
}

void TestSupplyLink::garbledReportsChangeNothing_data() {
    QTest::addColumn<int>("step");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("mode 3") << int(PollingStep::Mode) << QByteArray("3\r\n");
    QTest::newRow("mode noise") << int(PollingStep::Mode) << QByteArray("2x\r\n");
    QTest::newRow("channel 0") << int(PollingStep::Channel) << QByteArray("0\r\n");
    QTest::newRow("channel noise") << int(PollingStep::Channel) << QByteArray("?2\r\n");
    QTest::newRow("output 2") << int(PollingStep::Output) << QByteArray("2\r\n");
    QTest::newRow("number without exponent") << 1 << QByteArray("+1.20000X+01\r\n");
}

void TestSupplyLink::garbledReportsChangeNothing() {
    QFETCH(int, step);
    QFETCH(QByteArray, reply);
    CoreFixture core;
    QSignalSpy changes(&core.link.model(), &SupplyModel::changed);
    core.link.state().step = PollingStep(step);
    core.comm->receive(reply);
    QCOMPARE(changes.size(), 0);
    QCOMPARE(core.comm->takeWritten(), QString());
    QCOMPARE(core.link.switches().selectedMode(), TrackingMode::Independent);
    QCOMPARE(core.link.switches().selectedChannel(), 1);
}

void TestSupplyLink::lostLineClosesTheLink() {
    CoreFixture core;
    QSignalSpy shown(&core.link.portSession(), &PortSession::openStateShown);
    QSignalSpy messages(&core.link.notices(), &Notices::message);
    QSignalSpy events(&core.link.model(), &SupplyModel::linkEvent);
    core.link.polling().toggle();
    core.comm->vanish();
    QVERIFY(!core.comm->PortOpen());
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().at(0).toBool(), false);
    QVERIFY(shown.first().at(1).value<PortRequest>().portText.isEmpty());
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().at(0).toString(), Notices::PortMissing);
    QCOMPARE(events.last().at(0).value<LinkEvent>(), LinkEvent::PortLost);
    QVERIFY(core.link.model().portName().isEmpty());
    // Polling stops at its next tick, which writes nothing.
    core.tick();
    QVERIFY(!core.link.polling().isPolling());
    QCOMPARE(core.comm->takeWritten(), QString());
}

void TestSupplyLink::linkEventsInOrder() {
    auto* comm = new ScriptedSerialControl;
    SupplyLink link{std::unique_ptr<SerialControl>(comm)};
    QSignalSpy events(&link.model(), &SupplyModel::linkEvent);
    PortRequest request = com3();
    request.port = 7; // no such port: the failed opening reports nothing
    link.portSession().toggle(request);
    QCOMPARE(events.size(), 0);
    link.portSession().toggle(com3());
    QCOMPARE(link.model().portName(), QStringLiteral("COM3"));
    QCOMPARE(link.model().lineSettings(), QStringLiteral("9600,N,8,1"));
    link.polling().toggle();
    link.polling().toggle();
    link.portSession().toggle(com3());
    QList<LinkEvent> seen;
    for (const auto& event : events)
        seen.append(event.at(0).value<LinkEvent>());
    QCOMPARE(seen, (QList<LinkEvent>{LinkEvent::PortOpened, LinkEvent::PollingStarted,
                                     LinkEvent::PollingStopped, LinkEvent::PortClosed}));
}

void TestSupplyLink::identityRepliesBecomeTexts() {
    CoreFixture core;
    ScriptedSupply supply(*core.comm);
    QSignalSpy started(&core.link.identity(), &IdentityQueries::queryStarted);
    core.link.identity().queryVersion();
    QCoreApplication::processEvents();
    QCOMPARE(core.link.model().version(), QStringLiteral("V1.06"));
    core.link.identity().queryIdentification();
    QCoreApplication::processEvents();
    QCOMPARE(core.link.model().identification(), QStringLiteral("VELMOR,PSU-3005,SN0042,V1.06"));
    QCOMPARE(started.size(), 2);
    // The tick after a query is skipped whole.
    core.tick();
    QCOMPARE(core.link.state().step, PollingStep::Identification);
    QCOMPARE(core.comm->takeWritten(), QStringLiteral("SYST:VERS?CR*IDN?CR"));
}

QTEST_GUILESS_MAIN(TestSupplyLink)
#include "test_supply_link.moc"
