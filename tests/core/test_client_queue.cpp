// Script clients and the polling cycle sharing one line, on a scripted
// serial control: who gets which reply, and what goes on the wire when.
#include "supply/SupplyLink.h"
#include "support/ScriptedSerialControl.h"

#include <QtTest>

#include <memory>

namespace {

struct Line {
    Line() : comm(new ScriptedSerialControl), link(std::unique_ptr<SerialControl>(comm)) {
        link.portSession().toggle({"COM3", 3, "9600", "NONE", "8", "1", {}});
        comm->writes.clear();
    }
    QString written() {
        const QString text = QString::fromLatin1(comm->written());
        comm->writes.clear();
        return text;
    }
    // A client's read; its result lands in `result` (status -1 until then).
    void read(Quantity quantity) {
        QVERIFY(link.clients().read(&owner, quantity, [this](const ClientQueue::Result& r) {
            status = int(r.status);
            value = r.value;
        }));
    }
    double number(Quantity quantity) { return link.model().number(quantity).value_or(-1.0); }

    ScriptedSerialControl* comm;
    SupplyLink link;
    QObject owner;
    int status = -1;
    QVariant value;
};

constexpr int Done = int(ClientQueue::Result::Status::Done);

} // namespace

class TestClientQueue : public QObject {
    Q_OBJECT
private slots:
    void repliesGoWhereTheyWereAskedFor();
    void pollingAndOperatorWaitForAClientsReply();
    void readingsAndStepsWhileAClientHammers();
    void aClosedPortFailsAtOnce();
    void aGoneClientsReplyStaysOffThePollingLine();
    void anUnansweredQueryFreesTheLine();
    void aVersionCutOffByTheTimeOut_data();
    void aVersionCutOffByTheTimeOut();
};

void TestClientQueue::repliesGoWhereTheyWereAskedFor() {
    Line line;
    line.link.state().step = PollingStep::None;
    line.link.polling().SysTickTimer_Timer(); // step 1: measured voltage
    QCOMPARE(line.written(), "MEASure:SCALar:VOLTage:DC?CR");
    // The client's query waits for the polling reply...
    line.read(Quantity::MeasuredCurrent);
    QCOMPARE(line.written(), QString());
    line.comm->receive("+1.20000E+01\r\n");
    QCOMPARE(line.number(Quantity::MeasuredVoltage), 12.0);
    // ...and its own reply is the client's, a reading of its own quantity.
    QCOMPARE(line.written(), "MEASure:SCALar:CURRent:DC?CR");
    line.comm->receive("+8.5000");
    line.comm->receive("0E-01\r\n");
    QCOMPARE(line.status, Done);
    QCOMPARE(line.value.toDouble(), 0.85);
    QCOMPARE(line.number(Quantity::MeasuredCurrent), 0.85);
    QCOMPARE(line.number(Quantity::MeasuredVoltage), 12.0);
    QCOMPARE(int(line.link.state().step), 1);
    QVERIFY(line.link.decoder().pending().isEmpty());
}

void TestClientQueue::pollingAndOperatorWaitForAClientsReply() {
    Line line;
    line.link.state().step = PollingStep::Channel;
    line.link.polling().toggle();
    line.read(Quantity::Identification);
    QCOMPARE(line.written(), "*IDN?CR");
    // Neither the tick nor the operator's command cuts between query and reply.
    line.link.polling().SysTickTimer_Timer();
    // No rating chosen: 0 is the one value in range.
    line.link.setpoints().send(SetpointCommands::Setpoint::Voltage, QStringLiteral("0"));
    QCOMPARE(line.written(), QString());
    line.comm->receive("VELMOR,PSU-3005,SN0042,V1.06\r\n");
    QCOMPARE(line.value.toString(), "VELMOR,PSU-3005,SN0042,V1.06");
    QCOMPARE(line.link.model().identification(), "VELMOR,PSU-3005,SN0042,V1.06");
    // Then the operator's command, leaving its step, and the waiting tick
    // continuing from there.
    QCOMPARE(line.written(), "VOLTage:LEVel 0CRCURRent:LEVel?CR");
}

void TestClientQueue::readingsAndStepsWhileAClientHammers() {
    Line line;
    line.link.state().step = PollingStep::None;
    line.link.polling().toggle();
    int served = 0;
    std::function<void()> again = [&] {
        QVERIFY(line.link.clients().read(&line.owner, Quantity::MeasuredVoltage,
                                         [&](const ClientQueue::Result& r) {
                                             QCOMPARE(r.value.toDouble(), 1.5);
                                             ++served;
                                             again();
                                         }));
    };
    again();
    QStringList polled;
    for (int step = 1; step <= 6; ++step) {
        line.link.polling().SysTickTimer_Timer();
        // Whatever the client has on the line is answered before the tick's
        // query goes out.
        for (int i = 0; i < 3 && line.link.clients().awaitsReply(); ++i)
            line.comm->receive("+1.50000E+00\r\n");
        const QString wire = line.written();
        polled.append(wire.section(QStringLiteral("MEASure:SCALar:VOLTage:DC?CR"), -1));
        line.comm->receive(QByteArray("+") + QByteArray::number(step) + ".00000E+00\r\n");
    }
    QCOMPARE(polled.mid(2),
             (QStringList{"VOLTage:LEVel?CR", "CURRent:LEVel?CR", "VOLTage:PROTection:LEVel?CR",
                          "CURRent:PROTection:LEVel?CR"}));
    QVERIFY(served >= 5);
    QCOMPARE(line.number(Quantity::SetVoltage), 3.0);
    QCOMPARE(line.number(Quantity::OverCurrent), 6.0);
}

void TestClientQueue::aClosedPortFailsAtOnce() {
    Line line;
    line.link.portSession().toggle({});
    line.read(Quantity::Version);
    QCOMPARE(line.status, int(ClientQueue::Result::Status::PortClosed));
    QCOMPARE(line.written(), QString());
}

void TestClientQueue::aGoneClientsReplyStaysOffThePollingLine() {
    Line line;
    line.link.state().step = PollingStep::SetVoltage; // a number step
    {
        QObject gone;
        QVERIFY(line.link.clients().read(&gone, Quantity::MeasuredCurrent,
                                         [](const ClientQueue::Result&) { QFAIL("delivered"); }));
    }
    QCOMPARE(line.written(), "MEASure:SCALar:CURRent:DC?CR");
    line.comm->receive("+9.00000E+00\r\n");
    QVERIFY(!line.link.model().known(Quantity::SetVoltage));
    QCOMPARE(line.number(Quantity::MeasuredCurrent), 9.0);
    line.link.polling().SysTickTimer_Timer();
    QCOMPARE(line.written(), "CURRent:LEVel?CR");
}

void TestClientQueue::anUnansweredQueryFreesTheLine() {
    Line line;
    line.read(Quantity::Output);
    QCOMPARE(line.written(), "OUTPut:STATe?CR");
    QTRY_COMPARE_WITH_TIMEOUT(line.status, int(ClientQueue::Result::Status::NoReply), 5000);
    QVERIFY(!line.link.clients().awaitsReply());
    // The next query waits until the line has been quiet a while: the late
    // reply, if it comes, is nobody's.
    line.read(Quantity::Channel);
    QCOMPARE(line.written(), QString());
    QString wire;
    QTRY_COMPARE_WITH_TIMEOUT(wire += line.written(), QStringLiteral("APPL?CR"), 5000);
}

void TestClientQueue::aVersionCutOffByTheTimeOut_data() {
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<QString>("answer"); // empty: no answer
    QTest::newRow("ended by its CR alone") << QByteArray("V1.06\r") << "V1.06";
    QTest::newRow("garbage with a CR first") << QByteArray("\r\xB2\x8D}\x06\xC9\xEF") << "";
    QTest::newRow("text after its CR") << QByteArray("V1.06\r\xB2\x8D") << "";
    QTest::newRow("garbage before its CR") << QByteArray("\xB2\x8D}\x06\r") << "";
}

// A supply that ends its version with a CR and no LF is answered at the
// time-out; bytes that merely hold a CR are not a version.
void TestClientQueue::aVersionCutOffByTheTimeOut() {
    QFETCH(QByteArray, received);
    QFETCH(QString, answer);
    Line line;
    line.read(Quantity::Version);
    QCOMPARE(line.written(), "SYST:VERS?CR");
    line.comm->receive(received);
    QTRY_VERIFY_WITH_TIMEOUT(line.status != -1, 5000);
    if (answer.isEmpty()) {
        QCOMPARE(line.status, int(ClientQueue::Result::Status::NoReply));
    } else {
        QCOMPARE(line.status, Done);
        QCOMPARE(line.value.toString(), answer);
    }
}

QTEST_GUILESS_MAIN(TestClientQueue)
#include "test_client_queue.moc"
