// The SCPI language and the server, against a supply link on a scripted
// serial control: the parser as a table, then whole conversations over
// real sockets, then clients that misbehave.
#include "meter/EnergyMeter.h"
#include "scpi/ScpiParser.h"
#include "scpi/ScpiServer.h"
#include "scpi/ScpiSession.h"
#include "supply/ReplyForms.h"
#include "supply/SupplyLink.h"
#include "support/ScriptedSerialControl.h"
#include "support/ScriptedSupply.h"

#include <QTcpSocket>

#include <QtTest>

#include <memory>

namespace {

using Scpi::Header;

QString described(const Scpi::Parsed& p) {
    if (!p.command)
        return QString::number(p.error);
    return QString::number(int(p.command->header)) + (p.command->query ? "?" : "") +
           (p.command->argument.isEmpty() ? QString() : u' ' + p.command->argument);
}

QString cmd(Header h, const QString& argument = {}) {
    return described({Scpi::Command{h, false, argument}, 0});
}
QString query(Header h) {
    return described({Scpi::Command{h, true, {}}, 0});
}
QString error(int code) {
    return QString::number(code);
}

// A supply link on COM3 with a scripted supply answering, and a server.
struct Served {
    Served()
        : comm(new ScriptedSerialControl), link(std::unique_ptr<SerialControl>(comm)),
          supply(*comm), meter(link.model()), server(link, meter, {}) {
        link.portSession().toggle({"COM3", 3, "9600", "NONE", "8", "1", {}});
        link.rating().setVoltageRatingText(QStringLiteral("30  V"));
        link.rating().applyVoltageRating();
        QString why;
        listening = server.listen(0, {}, &why);
        comm->writes.clear();
    }
    std::unique_ptr<QTcpSocket> connectClient() {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, server.serverPort());
        return socket;
    }
    // Sends the lines and gathers `replies` reply lines.
    QStringList converse(QTcpSocket& socket, const QByteArray& lines, int replies) {
        socket.write(lines);
        QStringList got;
        // Too few lines by the deadline fail the comparison that follows.
        (void)QTest::qWaitFor(
            [&] {
                while (socket.canReadLine())
                    got.append(QString::fromLatin1(socket.readLine()).chopped(1));
                return got.size() >= replies;
            },
            5000);
        return got;
    }

    ScriptedSerialControl* comm;
    SupplyLink link;
    ScriptedSupply supply;
    EnergyMeter meter;
    ScpiServer server;
    bool listening = false;
};

} // namespace

class TestScpi : public QObject {
    Q_OBJECT
private slots:
    void parsing_data();
    void parsing();
    void parameters();
    void conversations_data();
    void conversations();
    void meterWithoutWireTraffic();
    void measuredPowerFailsAsAReadingDoes();
    void boundsOnWhatAClientSends();
    void clientsAreCountedAndBounded();
};

void TestScpi::parsing_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("long form") << "MEASure:SCALar:VOLTage:DC?"
                               << QStringList{query(Header::MeasureVoltage)};
    QTest::newRow("short form, any case, optional nodes left out")
        << "meas:Volt?" << QStringList{query(Header::MeasureVoltage)};
    QTest::newRow("leading colon")
        << ":SOUR:CURR:LEV:IMM:AMPL 0.5" << QStringList{cmd(Header::Current, "0.5")};
    QTest::newRow("optional node in the middle")
        << "VOLT:PROT:LEV?" << QStringList{query(Header::VoltageProtection)};
    QTest::newRow("a form between short and long is no form")
        << "MEASU:VOLT?" << QStringList{error(Scpi::UndefinedHeader)};
    QTest::newRow("compound, relative to the path")
        << "MEAS:VOLT?;CURR?;:OUTP?"
        << QStringList{query(Header::MeasureVoltage), query(Header::MeasureCurrent),
                       query(Header::Output)};
    QTest::newRow("common commands keep the path")
        << "SOUR:VOLT 1;*OPC?;CURR 2"
        << QStringList{cmd(Header::Voltage, "1"), query(Header::OperationComplete),
                       cmd(Header::Current, "2")};
    QTest::newRow("error numbers and texts")
        << "SYST:ERR?;SYSTEM:ERROR:NEXT?"
        << QStringList{query(Header::SystemError), query(Header::SystemError)};
    QTest::newRow("query form of a setting only")
        << "*CLS?;OUTP:PROT:CLE"
        << QStringList{error(Scpi::UndefinedHeader), cmd(Header::OutputProtectionClear)};
    QTest::newRow("setting form of a query only")
        << "MEAS:VOLT 3" << QStringList{error(Scpi::UndefinedHeader)};
    QTest::newRow("parameter where none is taken")
        << "VOLT? 3;*WAI 1"
        << QStringList{error(Scpi::ParameterNotAllowed), error(Scpi::ParameterNotAllowed)};
    QTest::newRow("missing parameter") << "OUTP" << QStringList{error(Scpi::MissingParameter)};
    QTest::newRow("malformed headers")
        << "VOLT::LEV 1;?;MEAS-VOLT?;;"
        << QStringList{error(Scpi::CommandError), error(Scpi::CommandError),
                       error(Scpi::CommandError)};
    QTest::newRow("blank and empty line") << "  " << QStringList{};
    QTest::newRow("meter queries, relative to the path")
        << "FETC:POW?;WHOUR?;FETCH:SCALAR:AHOUR?;:FETC:POW:DC?"
        << QStringList{query(Header::FetchPower), query(Header::FetchWattHours),
                       query(Header::FetchAmpHours), query(Header::FetchPower)};
    QTest::newRow("meter resets take no parameter and have no query")
        << "SENS:WHO:RES;:SENSE:AHOUR:RESET;:SENS:WHO:RES 1;:SENS:AHO:RES?;:FETC:WHO 1"
        << QStringList{cmd(Header::ResetWattHours), cmd(Header::ResetAmpHours),
                       error(Scpi::ParameterNotAllowed), error(Scpi::UndefinedHeader),
                       error(Scpi::UndefinedHeader)};
}

void TestScpi::parsing() {
    QFETCH(QString, line);
    QFETCH(QStringList, expected);
    QStringList got;
    for (const Scpi::Parsed& p : Scpi::parseLine(line))
        got.append(described(p));
    QCOMPARE(got, expected);
}

void TestScpi::parameters() {
    QCOMPARE(Scpi::number("1.5e1"), 15.0);
    QCOMPARE(Scpi::number("-.25"), -0.25);
    for (const char* bad : {"1,5", "1.5V", "", "e3", "1e999", "nan", "0x10"})
        QVERIFY2(!Scpi::number(QLatin1String(bad)), bad);
    QCOMPARE(Scpi::boolean("on"), true);
    QCOMPARE(Scpi::boolean("0"), false);
    QVERIFY(!Scpi::boolean("2"));
    QCOMPARE(Scpi::choice("2", 0, 2), 2);
    QVERIFY(!Scpi::choice("3", 0, 2));
    QVERIFY(!Scpi::choice("\u0661", 0, 2)); // a digit, but not ASCII
    // A client's reply is read by the decoder's own number form.
    const auto value = [](const char* line) {
        return ReplyForms::numberLine(QLatin1String(line))
            .value_or(ReplyForms::NumberReading{-1, {}})
            .value;
    };
    QCOMPARE(value("+1.23456E+01\r\n"), 12.3456);
    QCOMPARE(value("+A.00000E+01\r\n"), 100.0);
    QCOMPARE(value("-5.00000E-01\r\n"), -0.5);
    QCOMPARE(value("-0.00000E+00\r\n"), 0.0);
    for (const char* bad : {"+1.23456E+01", "+1.2345E+01\r\n", "+1.2.3E+0100\r\n",
                            "+1.00000e+01\r\n", "+B.00000E+01\r\n", " 1.23456E+01\r\n"})
        QVERIFY2(!ReplyForms::numberLine(QLatin1String(bad)), bad);
}

void TestScpi::conversations_data() {
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<QStringList>("replies");
    QTest::addColumn<QString>("wire");
    QTest::newRow("identity and version from the supply")
        << QByteArray("*IDN?\r\nSYST:VERS?\n")
        << QStringList{"VELMOR,PSU-3005,SN0042,V1.06", "V1.06"} << "*IDN?CRSYST:VERS?CR";
    QTest::newRow("readings in plain decimal, one line per line")
        << QByteArray("MEAS:VOLT?;CURR?\n") << QStringList{"12;0.85"}
        << "MEASure:SCALar:VOLTage:DC?CRMEASure:SCALar:CURRent:DC?CR";
    QTest::newRow("power from a fresh voltage and current")
        << QByteArray("MEAS:POW?\n") << QStringList{"10.2"}
        << "MEASure:SCALar:VOLTage:DC?CRMEASure:SCALar:CURRent:DC?CR";
    QTest::newRow("a setting, then its read-back")
        << QByteArray("VOLT 5.50;VOLT?\n") << QStringList{"12.5"}
        << "VOLTage:LEVel 5.5CRVOLTage:LEVel?CR";
    QTest::newRow("out of range: nothing sent")
        << QByteArray("VOLT 31.6\nSYST:ERR?\nSYST:ERR?\n")
        << QStringList{"-222,\"Data out of range\"", "0,\"No error\""} << "";
    QTest::newRow("output, mode, channel, alarm")
        << QByteArray("OUTP ON;OUTP?\nMODE 2\nINST:NSEL 2;INST:NSEL?\nOUTP:PROT:CLE;*OPC?\n")
        << QStringList{"1", "1", "1"} // The supply reports channel 1: the panel selects it, as for
                                      // a polled report, and that sends it back.
        << "OUTP 1CROUTPut:STATe?CRSOUR:MODE 2CRAPPL 2CRAPPL?CRAPPL 1CROUTPut:PROTection:CLEarCR";
    QTest::newRow("bad arguments and headers queue their errors")
        << QByteArray("OUTP MAYBE;MODE 3;VOLT abc;FOO?;FETC:VOLT?\nSYST:ERR?;ERR?;ERR?;ERR?;ERR?\n")
        << QStringList{"-224,\"Illegal parameter value\";-224,\"Illegal parameter value\";"
                       "-104,\"Data type error\";-113,\"Undefined header\";"
                       "-230,\"Data corrupt or stale\""}
        << "";
    QTest::newRow("clearing the error queue")
        << QByteArray("FOO\n*CLS\nSYST:ERR?\n") << QStringList{"0,\"No error\""} << "";
}

void TestScpi::conversations() {
    QFETCH(QByteArray, lines);
    QFETCH(QStringList, replies);
    QFETCH(QString, wire);
    Served served;
    QVERIFY(served.listening);
    const auto client = served.connectClient();
    QCOMPARE(served.converse(*client, lines, replies.size()), replies);
    QCOMPARE(served.comm->takeWritten(), wire);
}

// Power, energy and charge come from the meter: no query goes to the supply,
// and either reset clears both.
void TestScpi::meterWithoutWireTraffic() {
    Served served;
    const auto client = served.connectClient();
    QCOMPARE(served.converse(*client, "FETC:WHO?;AHO?;POW?\nSYST:ERR?\n", 2),
             QStringList({"0;0", "-230,\"Data corrupt or stale\""}));
    SupplyModel& model = served.link.model();
    const QDateTime t0 = QDateTime::currentDateTime();
    model.setOutput(OutputState::On, t0);
    model.setNumber(Quantity::MeasuredVoltage, 12, t0);
    model.setNumber(Quantity::MeasuredCurrent, 0.5, t0);
    model.setNumber(Quantity::MeasuredCurrent, 0.5, t0.addSecs(9));
    QCOMPARE(served.converse(*client, "FETC:POW?;WHO?;AHO?\n", 1), QStringList{"6;0.015;0.00125"});
    QCOMPARE(served.converse(*client, "SENS:AHO:RES;:FETC:WHO?;AHO?\n", 1), QStringList{"0;0"});
    QCOMPARE(served.comm->takeWritten(), QString());
}

// Either reading of MEAS:POW? failing fails it as a failed MEAS query.
void TestScpi::measuredPowerFailsAsAReadingDoes() {
    for (const char* silent : {"MEASure:SCALar:VOLTage:DC?CR", "MEASure:SCALar:CURRent:DC?CR"}) {
        Served served;
        served.supply.replies.remove(silent);
        const auto client = served.connectClient();
        QCOMPARE(served.converse(*client, "MEAS:POW?\nSYST:ERR?\n", 1),
                 QStringList{"-240,\"Hardware error\""});
    }
}

void TestScpi::boundsOnWhatAClientSends() {
    Served served;
    // A closed port is told at once, without a wait.
    const auto first = served.connectClient();
    served.link.portSession().toggle({});
    QCOMPARE(served.converse(*first, "MEAS:VOLT?;:SYST:ERR?\n", 1),
             QStringList{"-240,\"Hardware error\""});
    served.link.portSession().toggle({"COM3", 3, "9600", "NONE", "8", "1", {}});

    // Commands beyond the bound are dropped with a queue overflow; the ones
    // taken are all answered, in order, before the error query that follows.
    QByteArray flood;
    for (int i = 0; i < 1000; ++i)
        flood += "MEAS:VOLT?\n";
    first->write(flood);
    QTRY_VERIFY(!served.link.clients().awaitsReply());
    first->write("SYST:ERR?\n");
    QStringList lines;
    QVERIFY(QTest::qWaitFor(
        [&] {
            while (first->canReadLine())
                lines.append(QString::fromLatin1(first->readLine()).trimmed());
            return !lines.isEmpty() && lines.last().contains(u',');
        },
        10000));
    QCOMPARE(lines.last(), "-350,\"Queue overflow\"");
    QVERIFY(lines.size() > 1 && lines.size() < 1000);
    QCOMPARE(lines.count("12"), lines.size() - 1);

    // A line longer than 1 KiB closes the connection; others are served on.
    const auto idle = served.connectClient();
    const auto talker = served.connectClient();
    talker->write(QByteArray(ScpiSession::MaxLine + 10, 'A'));
    QTRY_COMPARE(talker->state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(served.converse(*first, "*OPC?\n", 1), QStringList{"1"});
    QCOMPARE(idle->state(), QAbstractSocket::ConnectedState);
}

void TestScpi::clientsAreCountedAndBounded() {
    Served served;
    QSignalSpy counts(&served.server, &ScpiServer::clientCountChanged);
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i <= ScpiServer::MaxClients; ++i)
        clients.push_back(served.connectClient());
    QTRY_COMPARE(served.server.clientCount(), ScpiServer::MaxClients);
    QTRY_COMPARE(clients.back()->state(), QAbstractSocket::UnconnectedState);
    // A client that goes mid-query leaves the line in step for the others.
    clients.front()->write("MEAS:VOLT?\n");
    clients.front()->abort();
    QTRY_COMPARE(served.server.clientCount(), ScpiServer::MaxClients - 1);
    QCOMPARE(served.converse(*clients[1], "MEAS:CURR?\n", 1), QStringList{"0.85"});
    served.server.close();
    QCOMPARE(served.server.clientCount(), 0);
    QCOMPARE(counts.last().first().toInt(), 0);
}

QTEST_GUILESS_MAIN(TestScpi)
#include "test_scpi.moc"
