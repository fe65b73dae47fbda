// velmor-headless as its users run it: a process with no display, its exit
// codes, its event lines and its recording, against the simulated supply.
#include "support/RecordedCsv.h"
#include "support/SimSupply.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <csignal>

namespace {

// The program with no display in its environment, finding its ports in the
// simulated supply's link folder.
struct Headless {
    explicit Headless(const SimSupply& sim) {
        QDir(config.path()).mkpath(QStringLiteral("velmor"));
        QFile::link(sim.linkFolder(), config.filePath(QStringLiteral("velmor/ports")));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(name));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        process.setProcessEnvironment(env);
        process.setProgram(QStringLiteral(VELMOR_HEADLESS_BINARY));
    }
    bool start(const QStringList& arguments) {
        process.setArguments(arguments);
        process.start();
        return process.waitForStarted(5000);
    }
    // Everything written on standard error so far.
    QString events() {
        errors += QString::fromLocal8Bit(process.readAllStandardError());
        return errors;
    }
    bool waitForEvent(const QString& event, int ms) {
        return QTest::qWaitFor([&] { return events().contains(event); }, ms);
    }
    int stop(int signalNumber) {
        ::kill(pid_t(process.processId()), signalNumber);
        if (!process.waitForFinished(5000))
            return -1;
        events();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    QTemporaryDir config;
    QProcess process;
    QString errors;
};

// A port nobody listens on just now.
quint16 freePort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

// A script client on the headless program's SCPI port: one line out, its
// reply line back.
struct Client {
    bool connectTo(quint16 port) {
        socket.connectToHost(QHostAddress::LocalHost, port);
        return socket.waitForConnected(3000);
    }
    QString ask(const QByteArray& line) {
        socket.write(line);
        if (!QTest::qWaitFor([&] { return socket.canReadLine(); }, 5000))
            return QStringLiteral("no reply");
        return QString::fromLatin1(socket.readLine()).trimmed();
    }
    QTcpSocket socket;
};

// The output commands the simulated supply received, in order.
QStringList outputCommands(const QString& log) {
    QFile file(log);
    QStringList commands;
    if (!file.open(QIODevice::ReadOnly))
        return commands;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (line.startsWith("OUTP "))
            commands.append(QString::fromLatin1(line.trimmed()));
    return commands;
}

} // namespace

class TestHeadless : public QObject {
    Q_OBJECT
private slots:
    void exitCodes_data();
    void exitCodes();
    void pollsRecordsAndStopsOnSignal_data();
    void pollsRecordsAndStopsOnSignal();
    void survivesTheSupplyVanishingAndReturning();
    void runsAListAndEnds_data();
    void runsAListAndEnds();
    void aClientsRepliesStayItsOwnWhenTheSupplyIsLate();
    void aSignalWithAClientReadingLeavesTheOutputOff();
};

void TestHeadless::exitCodes_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said");
    QTest::newRow("no port") << QStringList() << 2 << "velmor-headless: --port";
    QTest::newRow("bad settings") << QStringList({"--port", "COM200", "--settings", "9600,X,8,1"})
                                  << 2 << "velmor-headless: --settings";
    QTest::newRow("metrics port in use")
        << QStringList({"--port", "COM200", "--metrics=127.0.0.1:%busy"}) << 2
        << "cannot serve metrics on 127.0.0.1:%busy";
    QTest::newRow("script server port in use")
        << QStringList({"--port", "COM200", "--scpi=%busy"}) << 2 << "127.0.0.1:%busy";
    QTest::newRow("repeat without a list")
        << QStringList({"--port", "COM200", "--repeat", "2"}) << 2 << "--repeat needs --run";
    QTest::newRow("rating not two numbers")
        << QStringList({"--port", "COM200", "--rating", "30V"}) << 2 << "--rating";
    QTest::newRow("port never opens")
        << QStringList({"--port", "COM9", "--poll"}) << 1 << "port COM9 did not open";
}

void TestHeadless::exitCodes() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    SimSupply sim;
    QVERIFY(sim.start());
    QTcpServer busy;
    QVERIFY(busy.listen(QHostAddress::LocalHost, 0));
    const QString busyPort = QString::number(busy.serverPort());
    arguments.replaceInStrings(QStringLiteral("%busy"), busyPort);
    said.replace(QStringLiteral("%busy"), busyPort);

    Headless run(sim);
    QVERIFY(run.start(arguments));
    QVERIFY(run.process.waitForFinished(10000));
    QCOMPARE(run.process.exitCode(), exitCode);
    const QStringList lines = run.events().split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().contains(said), qPrintable(lines.first()));
}

void TestHeadless::pollsRecordsAndStopsOnSignal_data() {
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TestHeadless::pollsRecordsAndStopsOnSignal() {
    QFETCH(int, signalNumber);
    SimSupply sim;
    QVERIFY(sim.start());
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("burn-in.csv"));
    Headless run(sim);
    QVERIFY(run.start({"--port", "COM200", "--settings", "9600,N,8,1", "--poll", "--reconnect",
                       "--record", file}));
    // A whole polling cycle's readings, the last one among them.
    QVERIFY(QTest::qWaitFor(
        [&] {
            for (const QString& line : RecordedCsv::lines(file).mid(1))
                if (RecordedCsv::fields(line).at(RecordedCsv::column("reading")) == "channel")
                    return true;
            return false;
        },
        15000));
    QCOMPARE(run.stop(signalNumber), 0);

    QByteArray rest;
    const QStringList lines = RecordedCsv::lines(file, &rest);
    QVERIFY(rest.isEmpty());
    for (const QString& line : lines.mid(1))
        QVERIFY2(RecordedCsv::problem(line).isEmpty(), qPrintable(line));
    // The last row gives the meter's totals over the run: the simulated
    // supply starts with its output off, so nothing was delivered.
    QCOMPARE(RecordedCsv::fields(lines.last()).last(),
             QStringLiteral("recording stopped energy 0.0000 Wh charge 0.0000 Ah output on 0 s"));
    const QString measured =
        RecordedCsv::fields(lines.last()).at(RecordedCsv::column("measured_voltage_V"));
    QVERIFY2(!measured.isEmpty(), qPrintable(lines.last()));

    // One line per event, each with its time, in the order they happened.
    static const QRegularExpression stamp(
        QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}([+-]\d\d:\d\d|Z)? (.*)$)"));
    QStringList said;
    for (const QString& line : run.events().split(u'\n', Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = stamp.match(line);
        QVERIFY2(m.hasMatch(), qPrintable(line));
        said.append(m.captured(2).section(u' ', 0, 1));
    }
    // The recording starts first, so that it holds the port's opening and
    // the start of polling too.
    QCOMPARE(said,
             QStringList({"recording started", "port opened", "polling started", "stopping on",
                          "polling stopped", "port closed", "recording stopped"}));
    QStringList events;
    for (const QString& line : lines.mid(1))
        events.append(RecordedCsv::fields(line).last());
    QVERIFY2(events.contains(QStringLiteral("port opened")) &&
                 events.contains(QStringLiteral("polling started")),
             qPrintable(events.join(u'|')));
}

void TestHeadless::survivesTheSupplyVanishingAndReturning() {
    SimSupply sim;
    QVERIFY(sim.start({"--vanish-after", "1", "--return-after", "2"}));
    Headless run(sim);
    QVERIFY(run.start({"--port", "COM200", "--poll", "--reconnect"}));
    // Polling takes up again on the reopened line.
    QVERIFY2(run.waitForEvent(QStringLiteral("port reopened COM200 9600,N,8,1"), 10000),
             qPrintable(run.events()));
    QVERIFY(run.waitForEvent(QStringLiteral("polling stopped"), 1000));
    QVERIFY(QTest::qWaitFor([&] { return run.events().count("polling started") == 2; }, 3000));
    QCOMPARE(run.process.state(), QProcess::Running);
    QCOMPARE(run.stop(SIGTERM), 0);
}

void TestHeadless::runsAListAndEnds_data() {
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said");
    const QByteArray h = "voltage_V,current_A,dwell_s,output\n5,1,";
    QTest::newRow("within the rating") << h + "0.3,on\n6,1,0.3,on\n" << 0 << "run finished";
    QTest::newRow("a step above the rating") << h + "0.3,on\n50,1,0.3,on\n" << 1 << "cannot run";
    QTest::newRow("a bad line, said in English") << h + "x,on\n" << 2 << "Line 2, column 3";
}

void TestHeadless::runsAListAndEnds() {
    QFETCH(QByteArray, list);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    SimSupply sim;
    QVERIFY(sim.start());
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("list.csv")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(list);
    file.close();
    const QString recording = dir.filePath(QStringLiteral("run.csv"));
    Headless run(sim);
    QVERIFY(run.start({"--port", "COM200", "--poll", "--rating", "30,3", "--run", file.fileName(),
                       "--repeat", "2", "--record", recording}));
    QVERIFY(run.process.waitForFinished(15000));
    QCOMPARE(run.process.exitCode(), exitCode);
    QVERIFY2(run.events().contains(said), qPrintable(run.errors));
    if (exitCode != 0)
        return;
    // Both passes in the recording, then the end of the run before the
    // recording's own end.
    QStringList events;
    for (const QString& line : RecordedCsv::lines(recording).mid(1))
        events << RecordedCsv::fields(line).last();
    events.removeAll(QString());
    QCOMPARE(events.count(QStringLiteral("run step 2/2")), 2);
    QVERIFY(events.indexOf(QStringLiteral("run finished")) <
            events.indexOf(QRegularExpression(QStringLiteral("recording stopped .*"))));
}

void TestHeadless::aClientsRepliesStayItsOwnWhenTheSupplyIsLate() {
    // A supply that answers now and then 0.7 s late, its later replies held
    // behind, while a script reads the current in a loop: the script gets
    // the current every time, and the panel's set voltage is never the
    // script's current.
    SimSupply sim;
    QVERIFY(sim.start({"--late", "0.3:700", "--seed", "5"}));
    QTemporaryDir dir;
    const QString recording = dir.filePath(QStringLiteral("late.csv"));
    const quint16 port = freePort();
    Headless run(sim);
    QVERIFY(run.start({"--port", "COM200", "--poll", "--rating", "30,3", "--record", recording,
                       "--scpi=" + QString::number(port)}));
    QVERIFY2(run.waitForEvent(QStringLiteral("polling started"), 5000), qPrintable(run.errors));
    Client client;
    QVERIFY(client.connectTo(port));
    QCOMPARE(client.ask("VOLT 5;CURR 1.5;OUTP 1;*OPC?\n"), QStringLiteral("1"));
    int read = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 12000) {
        const QString reply = client.ask("MEAS:CURR?;SYST:ERR?\n");
        const QString current = reply.section(u';', 0, 0);
        // A reading that did not come in time is an error, never another
        // quantity's value.
        QVERIFY2(current == QStringLiteral("0.5") || current.startsWith(QStringLiteral("-240")),
                 qPrintable(reply));
        read += current == QStringLiteral("0.5");
    }
    QVERIFY2(read > 10, qPrintable(QString::number(read)));
    QCOMPARE(run.stop(SIGTERM), 0);
    const int setVoltage = RecordedCsv::column("set_voltage_V");
    for (const QString& line : RecordedCsv::lines(recording).mid(1))
        QVERIFY2(RecordedCsv::fields(line).at(setVoltage) != QStringLiteral("0.5"),
                 qPrintable(line));
}

void TestHeadless::aSignalWithAClientReadingLeavesTheOutputOff() {
    // A slow line, a list going and a script reading the voltage in a loop:
    // SIGTERM ends the run with the output switched off on the wire, ahead
    // of the script's query waiting for the line.
    SimSupply sim;
    QTemporaryDir dir;
    const QString wire = dir.filePath(QStringLiteral("commands.log"));
    QVERIFY(sim.start({"--delay", "300", "--log", wire}));
    QFile list(dir.filePath(QStringLiteral("list.csv")));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write("voltage_V,current_A,dwell_s,output\n5,0.5,60,on\n");
    list.close();
    const quint16 port = freePort();
    Headless run(sim);
    QVERIFY(run.start({"--port", "COM200", "--poll", "--rating", "30,3", "--run", list.fileName(),
                       "--scpi=" + QString::number(port)}));
    QVERIFY2(run.waitForEvent(QStringLiteral("run step 1/1"), 5000), qPrintable(run.errors));
    Client client;
    QVERIFY(client.connectTo(port));
    // The script keeps one query on the line or waiting for it throughout.
    QObject::connect(&client.socket, &QTcpSocket::readyRead, &client.socket, [&client] {
        client.socket.readAll();
        client.socket.write("MEAS:VOLT?\n");
    });
    client.socket.write("MEAS:VOLT?\n");
    QTest::qWait(2000);
    QCOMPARE(run.stop(SIGTERM), 0);
    const QStringList outputs = outputCommands(wire);
    QVERIFY2(!outputs.isEmpty() && outputs.last() == QStringLiteral("OUTP 0"),
             qPrintable(outputs.join(u'|')));
}

QTEST_GUILESS_MAIN(TestHeadless)
#include "test_headless.moc"
