#include "control/CommandLine.h"
#include "serial/PortDirectory.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

#include <functional>

namespace {

using Check = std::function<bool(const LaunchOptions&)>;

bool settingsAre(const LaunchOptions& o, const QStringList& texts) {
    return o.settings && QStringList{o.settings->baud, o.settings->parity, o.settings->dataBits,
                                     o.settings->stopBits} == texts;
}

CommandLine parse(const QStringList& args) {
    return CommandLine::parse(QStringList{QStringLiteral("velmor-monitor")} + args,
                              Program::window());
}

} // namespace

Q_DECLARE_METATYPE(Check)

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void goodLines_data();
    void goodLines();
    void badLines_data();
    void badLines();
    void helpAndVersion();
    void exitCodes();
    void portTextsNameTheirDevice_data();
    void portTextsNameTheirDevice();

private:
    QTemporaryDir dir_;
    QString existing_;
};

void TestCommandLine::initTestCase() {
    QVERIFY(dir_.isValid());
    existing_ = dir_.filePath(QStringLiteral("existing.csv"));
    QFile file(existing_);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

void TestCommandLine::goodLines_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<Check>("holds");
    const QString fresh = dir_.filePath(QStringLiteral("fresh.csv"));

    QTest::newRow("nothing") << QStringList() << Check([](const LaunchOptions& o) {
        return o.port.isEmpty() && !o.settings && !o.poll && o.recordPath.isEmpty() &&
               !o.reconnect && o.language.isEmpty() && !o.metrics;
    });
    QTest::newRow("English") << QStringList{"--lang", "en"}
                             << Check([](const LaunchOptions& o) { return o.language == "en"; });
    QTest::newRow("Chinese, upper case")
        << QStringList{"--lang=ZH"}
        << Check([](const LaunchOptions& o) { return o.language == "zh"; });
    QTest::newRow("COMn") << QStringList{"--port", "COM3"}
                          << Check([](const LaunchOptions& o) { return o.port == "COM3"; });
    QTest::newRow("lower case and leading zeros")
        << QStringList{"--port=com007"}
        << Check([](const LaunchOptions& o) { return o.port == "COM7"; });
    QTest::newRow("highest number")
        << QStringList{"--port", "COM255"}
        << Check([](const LaunchOptions& o) { return o.port == "COM255"; });
    QTest::newRow("device") << QStringList{"--port", "/dev/ttyUSB0"}
                            << Check(
                                   [](const LaunchOptions& o) { return o.port == "/dev/ttyUSB0"; });
    const QString byId =
        QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1234-if00-port0");
    QTest::newRow("device by id, not plugged in yet")
        << QStringList{"--port", byId}
        << Check([byId](const LaunchOptions& o) { return o.port == byId; });
    QTest::newRow("settings") << QStringList{"--settings", "9600,N,8,1"}
                              << Check([](const LaunchOptions& o) {
                                     return settingsAre(o, {"9600", "NONE", "8", "1"});
                                 });
    QTest::newRow("even parity is the list's ENEV, lower case letter")
        << QStringList{"--settings", "19200,e,7,1.5"} << Check([](const LaunchOptions& o) {
               return settingsAre(o, {"19200", "ENEV", "7", "1.5"});
           });
    QTest::newRow("odd, space, mark")
        << QStringList{"--settings=300,O,5,2"} << Check([](const LaunchOptions& o) {
               return settingsAre(o, {"300", "ODD", "5", "2"});
           });
    QTest::newRow("space parity") << QStringList{"--settings", "256000,s,6,1"}
                                  << Check([](const LaunchOptions& o) {
                                         return settingsAre(o, {"256000", "SPACE", "6", "1"});
                                     });
    QTest::newRow("mark parity, leading zero baud")
        << QStringList{"--settings", "09600,M,8,1"} << Check([](const LaunchOptions& o) {
               return settingsAre(o, {"9600", "MARK", "8", "1"});
           });
    QTest::newRow("poll with port") << QStringList{"--port", "COM200", "--poll"}
                                    << Check([](const LaunchOptions& o) { return o.poll; });
    QTest::newRow("record a new file")
        << QStringList{"--record", fresh}
        << Check([fresh](const LaunchOptions& o) { return o.recordPath == fresh; });
    QTest::newRow("record a relative name")
        << QStringList{"--record", "relative.csv"} << Check([](const LaunchOptions& o) {
               return o.recordPath == QDir::current().absoluteFilePath("relative.csv");
           });
    QTest::newRow("reconnect alone")
        << QStringList{"--reconnect"}
        << Check([](const LaunchOptions& o) { return o.reconnect && o.port.isEmpty(); });
    QTest::newRow("script server on its default port")
        << QStringList{"--scpi", "--poll", "--port", "COM3"} << Check([](const LaunchOptions& o) {
               return o.scpiPort == 5025 && o.poll && o.scpiListen.isEmpty();
           });
    QTest::newRow("script server on a port, two more addresses")
        << QStringList{"--scpi-listen", "192.168.1.5",   "--scpi=6000",   "--scpi-listen",
                       "0::0",          "--scpi-listen", "fe80:0::1%eth0"}
        << Check([](const LaunchOptions& o) {
               return o.scpiPort == 6000 &&
                      o.scpiListen == QStringList{"192.168.1.5", "::", "fe80::1%eth0"};
           });
    QTest::newRow("everything") << QStringList{"--reconnect", "--record",    fresh,
                                               "--poll",      "--settings",  "4800,N,8,2",
                                               "--port",      "/dev/ttyACM0"}
                                << Check([fresh](const LaunchOptions& o) {
                                       return o.reconnect && o.poll && o.recordPath == fresh &&
                                              o.port == "/dev/ttyACM0" &&
                                              settingsAre(o, {"4800", "NONE", "8", "2"});
                                   });
    QTest::newRow("metrics alone") << QStringList{"--metrics"} << Check([](const LaunchOptions& o) {
        return o.metrics && o.metrics->address == "127.0.0.1" &&
               o.metrics->port == MetricsAddress::DefaultPort;
    });
    QTest::newRow("metrics on an address")
        << QStringList{"--metrics=0.0.0.0:9100"} << Check([](const LaunchOptions& o) {
               return o.metrics && o.metrics->text() == QLatin1String("0.0.0.0:9100");
           });
    QTest::newRow("metrics on IPv6")
        << QStringList{"--metrics=[::1]:9100"} << Check([](const LaunchOptions& o) {
               return o.metrics && o.metrics->text() == QLatin1String("[::1]:9100");
           });
}

void TestCommandLine::goodLines() {
    QFETCH(QStringList, args);
    QFETCH(Check, holds);
    const CommandLine line = parse(args);
    QVERIFY2(line.outcome == CommandLine::Outcome::Run, qPrintable(line.message));
    QVERIFY(holds(line.options));
}

void TestCommandLine::badLines_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("named");
    QTest::newRow("port 0") << QStringList{"--port", "COM0"} << "COM0";
    QTest::newRow("port 256") << QStringList{"--port", "COM256"} << "COM256";
    QTest::newRow("no number") << QStringList{"--port", "COM"} << "--port";
    QTest::newRow("number alone") << QStringList{"--port", "3"} << "--port";
    QTest::newRow("relative device") << QStringList{"--port", "ttyUSB0"} << "ttyUSB0";
    QTest::newRow("root alone") << QStringList{"--port", "/"} << "--port";
    QTest::newRow("port without value") << QStringList{"--port"} << "--port";
    QTest::newRow("port twice") << QStringList{"--port", "COM1", "--port", "COM2"} << "--port";
    QTest::newRow("three fields") << QStringList{"--settings", "9600,N,8"} << "9600,N,8";
    QTest::newRow("five fields") << QStringList{"--settings", "9600,N,8,1,1"} << "--settings";
    QTest::newRow("parity X") << QStringList{"--settings", "9600,X,8,1"} << "--settings";
    QTest::newRow("parity word") << QStringList{"--settings", "9600,NONE,8,1"} << "--settings";
    QTest::newRow("nine data bits") << QStringList{"--settings", "9600,N,9,1"} << "--settings";
    QTest::newRow("three stop bits") << QStringList{"--settings", "9600,N,8,3"} << "--settings";
    QTest::newRow("baud 0") << QStringList{"--settings", "0,N,8,1"} << "--settings";
    QTest::newRow("negative baud") << QStringList{"--settings", "-9600,N,8,1"} << "--settings";
    QTest::newRow("baud too big") << QStringList{"--settings", "99999999999,N,8,1"} << "--settings";
    QTest::newRow("blank") << QStringList{"--settings", "9600, N,8,1"} << "--settings";
    QTest::newRow("poll without port") << QStringList{"--poll"} << "--poll";
    QTest::newRow("record over a file") << QStringList{"--record", existing_} << "exists";
    QTest::newRow("record nothing") << QStringList{"--record", ""} << "--record";
    QTest::newRow("record into no folder")
        << QStringList{"--record", "/no/such/folder/x.csv"} << "does not exist";
    QTest::newRow("script port 0") << QStringList{"--scpi=0"} << "--scpi";
    QTest::newRow("script port too big") << QStringList{"--scpi=65536"} << "65536";
    QTest::newRow("script port as next argument is no port")
        << QStringList{"--scpi", "5025"} << "5025";
    QTest::newRow("script server twice") << QStringList{"--scpi", "--scpi=1"} << "more than once";
    QTest::newRow("listen address without server")
        << QStringList{"--scpi-listen", "127.0.0.2"} << "needs --scpi";
    QTest::newRow("listen on a host name")
        << QStringList{"--scpi", "--scpi-listen", "localhost"} << "localhost";
    QTest::newRow("listen on a shortened IPv4")
        << QStringList{"--scpi", "--scpi-listen", "127.1"} << "127.1";
    QTest::newRow("listen on an empty scope")
        << QStringList{"--scpi", "--scpi-listen", "fe80::1%"} << "fe80::1%";
    QTest::newRow("listen on a scope that names no interface")
        << QStringList{"--scpi", "--scpi-listen", "fe80::1%eth0\x1b[2J"} << "fe80::1%eth0";
    QTest::newRow("unknown option") << QStringList{"--colour"} << "colour";
    QTest::newRow("control character in an unknown option")
        << QStringList{QStringLiteral("--po\x01-")} << "po?-";
    QTest::newRow("line break in an unknown option") << QStringList{"--colour\n--poll"} << "colour";
    QTest::newRow("very long unknown option") << QStringList{"--" + QString(5000, u'x')} << "xxx";
    QTest::newRow("stray argument") << QStringList{"COM3"} << "COM3";
    QTest::newRow("very long value")
        << QStringList{"--port", "/" + QString(5000, u'x')} << "too long";
    QTest::newRow("line break in a value") << QStringList{"--port", "COM3\n--poll"} << "--port";
    QTest::newRow("language not offered") << QStringList{"--lang", "fr"} << "fr";
    QTest::newRow("language with territory") << QStringList{"--lang", "en_US"} << "en_US";
    QTest::newRow("language twice") << QStringList{"--lang", "en", "--lang", "zh"} << "--lang";
    QTest::newRow("metrics port 0") << QStringList{"--metrics=127.0.0.1:0"} << "--metrics";
    QTest::newRow("metrics port too big") << QStringList{"--metrics=127.0.0.1:65536"} << "65536";
    QTest::newRow("metrics without port") << QStringList{"--metrics=127.0.0.1"} << "--metrics";
    QTest::newRow("metrics host name") << QStringList{"--metrics=localhost:9100"} << "localhost";
    QTest::newRow("metrics IPv6 unbracketed") << QStringList{"--metrics=::1:9100"} << "--metrics";
    QTest::newRow("metrics with a scope")
        << QStringList{"--metrics=[fe80::1%eth0]:9100"} << "--metrics";
    QTest::newRow("metrics twice")
        << QStringList{"--metrics", "--metrics=[::1]:1"} << "more than once";
}

void TestCommandLine::badLines() {
    QFETCH(QStringList, args);
    QFETCH(QString, named);
    const CommandLine line = parse(args);
    QCOMPARE(line.outcome, CommandLine::Outcome::Error);
    QVERIFY2(line.message.contains(named), qPrintable(line.message));
    const bool printable = std::none_of(line.message.begin(), line.message.end(), [](QChar c) {
        return c.unicode() < 0x20 || c.unicode() == 0x7f;
    });
    QVERIFY2(printable, qPrintable(line.message));
    QVERIFY2(line.message.size() < 300, qPrintable(line.message));
}

void TestCommandLine::helpAndVersion() {
    for (const char* help : {"--help", "-h", "--help-all"}) {
        const CommandLine line = parse({"--port", "COM3", help});
        QCOMPARE(line.outcome, CommandLine::Outcome::Help);
        for (const char* option :
             {"--port", "--settings", "--poll", "--record", "--reconnect", "--metrics", "--scpi",
              "--scpi-listen", "--lang", "--help", "--version"})
            QVERIFY2(line.message.contains(QLatin1String(option)), option);
    }
    // Each program's help and version name that program.
    for (const Program& program : {Program::window(), Program::headless()}) {
        const CommandLine help = CommandLine::parse({"x", "--help"}, program);
        QVERIFY2(help.message.startsWith("Usage: " + program.name + " [options]\n"),
                 qPrintable(help.message));
        QVERIFY(help.message.contains(program.description));
        const CommandLine version = CommandLine::parse({"x", "--version"}, program);
        QCOMPARE(version.outcome, CommandLine::Outcome::Version);
        QVERIFY2(QRegularExpression(u'^' + program.name + QStringLiteral(" \\d+\\.\\d+\\.\\d+\\n$"))
                     .match(version.message)
                     .hasMatch(),
                 qPrintable(version.message));
    }
    // The headless program has nothing to do without a port.
    const CommandLine portless = CommandLine::parse({"x", "--poll"}, Program::headless());
    QCOMPARE(portless.outcome, CommandLine::Outcome::Error);
    QVERIFY(portless.message.startsWith(QLatin1String("--port")));
}

void TestCommandLine::exitCodes() {
    QCOMPARE(parse({"--nonsense"}).finish(), 2);
    QCOMPARE(parse({"--version"}).finish(), 0);
}

void TestCommandLine::portTextsNameTheirDevice_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("device");
    QTest::newRow("table port") << "COM3"
                                << "/dev/ttyS2";
    QTest::newRow("USB range") << "COM33"
                               << "/dev/ttyUSB0";
    QTest::newRow("device given directly") << "/dev/ttyUSB7"
                                           << "/dev/ttyUSB7";
    QTest::newRow("link by id") << "/dev/serial/by-id/usb-X-if00-port0"
                                << "/dev/serial/by-id/usb-X-if00-port0";
    QTest::newRow("no port") << "ttyUSB0" << QString();
    QTest::newRow("out of range") << "COM300" << QString();
}

void TestCommandLine::portTextsNameTheirDevice() {
    QFETCH(QString, text);
    QFETCH(QString, device);
    const PortDirectory ports(dir_.filePath(QStringLiteral("links")));
    QCOMPARE(ports.deviceForText(text), device);
}

QTEST_MAIN(TestCommandLine)
#include "test_command_line.moc"
