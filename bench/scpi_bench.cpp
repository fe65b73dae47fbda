// The script server beside polling, against the simulated supply paced at a
// line rate (the script starts it with --line-rate).
//
//   bench-scpi throughput --links DIR --baud B --queries N --python P --client SCRIPT
//   bench-scpi cpu --links DIR --seconds S --server off|listening|idle-client
//   (either with --hide-log: the traffic log hidden, to show what painting it costs)
//
// Both open COM200, choose a rating and start polling, as an operator does.
// throughput runs the PyVISA client loop of MEAS:VOLT? and prints its rate
// beside the rate the wire allows (query and reply bytes at B baud, 10 bits
// a byte) and what the panel adds to each query's wire time (median). cpu
// measures the panel's CPU over S seconds with the server off, listening
// with no client, or with one connected client that sends nothing.
#include "Measure.h"
#include "app/VelmorMain.h"
#include "protocol/Commands.h"
#include "serial/QtSerialControl.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QProcess>
#include <QTcpSocket>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

constexpr int SettleMs = 3000;

struct Options {
    QString mode;
    QString links;
    double baud = 9600;
    int queries = 500;
    QString python;
    QString client;
    double seconds = 60;
    QString server = QStringLiteral("off");
    bool showLog = true;
};

bool parse(const QStringList& args, Options& o) {
    if (args.size() < 2)
        return false;
    o.mode = args[1];
    for (int i = 2; i < args.size(); i += 2) {
        const QString& name = args[i];
        if (name == QLatin1String("--hide-log")) {
            o.showLog = false;
            --i;
            continue;
        }
        if (i + 1 == args.size())
            return false;
        const QString& value = args[i + 1];
        if (name == QLatin1String("--links"))
            o.links = value;
        else if (name == QLatin1String("--baud"))
            o.baud = value.toDouble();
        else if (name == QLatin1String("--queries"))
            o.queries = value.toInt();
        else if (name == QLatin1String("--python"))
            o.python = value;
        else if (name == QLatin1String("--client"))
            o.client = value;
        else if (name == QLatin1String("--seconds"))
            o.seconds = value.toDouble();
        else if (name == QLatin1String("--server"))
            o.server = value;
        else
            return false;
    }
    if (o.links.isEmpty())
        return false;
    if (o.mode == QLatin1String("throughput"))
        return o.baud > 0 && o.queries > 0 && !o.python.isEmpty() && !o.client.isEmpty();
    return o.mode == QLatin1String("cpu") && o.seconds > 0 &&
           (o.server == QLatin1String("off") || o.server == QLatin1String("listening") ||
            o.server == QLatin1String("idle-client"));
}

// The value of a key in the client's output.
double valueOf(const QString& output, const QString& key) {
    for (const QString& line : output.split(u'\n'))
        if (line.startsWith(key + u' '))
            return line.mid(key.size() + 1).toDouble();
    return 0.0;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Options o;
    if (!parse(QCoreApplication::arguments(), o)) {
        std::fprintf(stderr,
                     "usage: bench-scpi throughput --links DIR --baud B --queries N --python P "
                     "--client SCRIPT\n"
                     "       bench-scpi cpu --links DIR --seconds S --server "
                     "off|listening|idle-client\n");
        return 2;
    }
    VelmorMain window(std::make_unique<QtSerialControl>(PortDirectory(o.links)),
                      PortDirectory(o.links));
    window.messageBoxes().replaceShower([](const MessageBoxes::Box&) {});
    window.show();
    window.findChild<QWidget*>("TxtReceive")->setVisible(o.showLog);
    int status = 0;
    QProcess client;
    QTcpSocket idle;
    double cpuStart = 0.0;
    double wallStart = 0.0;

    QTimer::singleShot(SettleMs, [&] {
        window.findChild<QComboBox*>("CboCom")->setEditText(QStringLiteral("COM200"));
        window.findChild<QAbstractButton*>("CmdSwitch")->click();
        if (!window.MSComm().PortOpen()) {
            std::fprintf(stderr, "bench-scpi: COM200 did not open\n");
            status = 1;
            app.quit();
            return;
        }
        window.findChild<QComboBox*>("PowerTypeCombVol")->setCurrentText(QStringLiteral("30  V"));
        window.findChild<QAbstractButton*>("SeekCmd")->click();
        RemoteControl& remote = window.remote();
        remote.configure(0, {});
        const bool serving =
            o.mode == QLatin1String("throughput") || o.server != QLatin1String("off");
        if (serving && !remote.start()) {
            std::fprintf(stderr, "bench-scpi: the server did not start\n");
            status = 1;
            app.quit();
            return;
        }
        // With the server off it was never made.
        const quint16 port = serving ? remote.server()->scpiPort() : quint16(0);
        if (o.mode == QLatin1String("cpu")) {
            if (o.server == QLatin1String("idle-client"))
                idle.connectToHost(QHostAddress::LocalHost, port);
            QTimer::singleShot(SettleMs, [&] {
                cpuStart = Measure::cpuSeconds();
                wallStart = Measure::nowMs();
                QTimer::singleShot(int(o.seconds * 1000), [&] {
                    const double wall = (Measure::nowMs() - wallStart) / 1e3;
                    std::printf("cpu_percent %.4f\n",
                                100.0 * (Measure::cpuSeconds() - cpuStart) / wall);
                    const RemoteAccess* server = window.remote().server();
                    std::printf("clients %d\n", server ? server->scpiClientCount() : 0);
                    app.quit();
                });
            });
            return;
        }
        QObject::connect(&client, &QProcess::finished, &app, [&](int code) {
            const QString output = QString::fromUtf8(client.readAll());
            if (code != 0) {
                std::fprintf(stderr, "bench-scpi: the client failed:\n%s\n", qPrintable(output));
                status = 1;
                app.quit();
                return;
            }
            const double bytes =
                Commands::MeasureVoltage.size() + QStringLiteral("+1.20000E+01\r\n").size();
            const double wireMs = bytes * 10.0 * 1000.0 / o.baud;
            const double rate = valueOf(output, QStringLiteral("queries")) /
                                valueOf(output, QStringLiteral("seconds"));
            const double median = valueOf(output, QStringLiteral("median_ms"));
            std::printf("wire_ms %.3f\n", wireMs);
            std::printf("wire_rate %.3f\n", 1000.0 / wireMs);
            std::printf("rate %.3f\n", rate);
            std::printf("share_percent %.2f\n", 100.0 * rate * wireMs / 1000.0);
            std::printf("median_ms %.3f\n", median);
            std::printf("median_added_ms %.3f\n", median - wireMs);
            app.quit();
        });
        client.setProcessChannelMode(QProcess::MergedChannels);
        client.start(o.python, {o.client, QStringLiteral("TCPIP::127.0.0.1::%1::SOCKET").arg(port),
                                QString::number(o.queries)});
    });
    app.exec();
    std::fflush(stdout);
    return status;
}
