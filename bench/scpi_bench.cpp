// The script server beside polling, against the simulated supply paced at a
// line rate (the script starts it with --line-rate).
//
//   bench-scpi throughput --links DIR --baud B --queries N --python P --client SCRIPT
//   bench-scpi cpu --links DIR --seconds S --server off|listening|idle-client
//   bench-scpi clients --links DIR --clients N --seconds S --python P --client SCRIPT
//   (either with --hide-log: the traffic log hidden, to show what painting it costs)
//
// Both open COM200, choose a rating and start polling, as an operator does.
// throughput runs the PyVISA client loop of MEAS:VOLT? and prints its rate
// beside the rate the wire allows (query and reply bytes at B baud, 10 bits
// a byte) and what the panel adds to each query's wire time (median). cpu
// measures the panel's CPU over S seconds with the server off, listening
// with no client, or with one connected client that sends nothing. clients
// runs N PyVISA loops of MEAS:VOLT? at once for S seconds and prints how late
// the polling ticks ran on their 500 ms pace, each client's rate and the
// panel's CPU over the same seconds (N = 0 gives the figures without them).
#include "Measure.h"
#include "app/VelmorMain.h"
#include "protocol/Commands.h"
#include "serial/QtSerialControl.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

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
    int clients = 8;
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
        else if (name == QLatin1String("--clients"))
            o.clients = value.toInt();
        else
            return false;
    }
    if (o.links.isEmpty())
        return false;
    if (o.mode == QLatin1String("throughput"))
        return o.baud > 0 && o.queries > 0 && !o.python.isEmpty() && !o.client.isEmpty();
    if (o.mode == QLatin1String("clients"))
        return o.clients >= 0 && o.seconds > 0 && !o.python.isEmpty() && !o.client.isEmpty();
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

// The clients mode: N client processes beside polling, the ticks' times
// taken as they run.
class ClientsRun {
public:
    ClientsRun(VelmorMain& window, const Options& o) : window_(window), o_(o) {}

    void start(quint16 port) {
        clock_.start();
        QObject::connect(&window_.polling(), &PollingCycle::ticked, &window_,
                         [this] { ticks_.push_back(double(clock_.nsecsElapsed()) / 1e6); });
        // The clients run a little longer than the window measured, so that
        // each is connected and asking before it starts and still after.
        const QString seconds = QString::number(o_.seconds + 2 * LeadSeconds);
        for (int i = 0; i < o_.clients; ++i) {
            auto* client = new QProcess(&window_);
            client->setProcessChannelMode(QProcess::MergedChannels);
            QObject::connect(client, &QProcess::finished, &window_, [this] { finishOne(); });
            client->start(o_.python,
                          {o_.client, QStringLiteral("TCPIP::127.0.0.1::%1::SOCKET").arg(port),
                           QStringLiteral("--seconds"), seconds});
            clients_.push_back(client);
        }
        QTimer::singleShot(int(LeadSeconds * 1000), &window_, [this] {
            cpuStart_ = Measure::cpuSeconds();
            windowStart_ = double(clock_.nsecsElapsed()) / 1e6;
            QTimer::singleShot(int(o_.seconds * 1000), &window_, [this] {
                windowEnd_ = double(clock_.nsecsElapsed()) / 1e6;
                cpu_ = Measure::cpuSeconds() - cpuStart_;
                if (clients_.empty())
                    report();
            });
        });
    }

    int status() const { return status_; }

private:
    static constexpr double LeadSeconds = 3;
    static constexpr double TickMs = 500;

    void finishOne() {
        if (++finished_ == int(clients_.size()))
            report();
    }

    // How late each tick in the window ran on the 500 ms grid of the first
    // one; a tick skipped after an identity query leaves a gap of two.
    std::vector<double> lateness() const {
        std::vector<double> offsets;
        const double first = ticks_.empty() ? 0.0 : ticks_.front();
        for (double at : ticks_)
            if (at >= windowStart_ && at <= windowEnd_)
                offsets.push_back(at - first - TickMs * std::round((at - first) / TickMs));
        if (offsets.empty())
            return offsets;
        // The grid's own phase: the timer's first tick may itself be late.
        const double phase = *std::min_element(offsets.begin(), offsets.end());
        for (double& offset : offsets)
            offset -= phase;
        return offsets;
    }

    void report() {
        std::vector<double> late = lateness();
        const double wall = (windowEnd_ - windowStart_) / 1e3;
        std::printf("ticks %zu\n", late.size());
        std::printf("tick_late_median_ms %.3f\n", Measure::percentile(late, 0.5));
        std::printf("tick_late_p99_ms %.3f\n", Measure::percentile(late, 0.99));
        std::printf("tick_late_max_ms %.3f\n", late.empty() ? 0.0 : late.back());
        std::printf("cpu_percent %.4f\n", 100.0 * cpu_ / wall);
        double total = 0.0;
        double least = 0.0;
        double most = 0.0;
        for (QProcess* client : clients_) {
            const QString output = QString::fromUtf8(client->readAll());
            const double rate = valueOf(output, QStringLiteral("queries")) /
                                std::max(valueOf(output, QStringLiteral("seconds")), 1e-9);
            if (client->exitCode() != 0 || rate <= 0) {
                std::fprintf(stderr, "bench-scpi: a client failed:\n%s\n", qPrintable(output));
                status_ = 1;
            }
            least = total == 0.0 ? rate : std::min(least, rate);
            most = std::max(most, rate);
            total += rate;
        }
        std::printf("clients %zu\n", clients_.size());
        std::printf("client_rate_total %.3f\n", total);
        std::printf("client_rate_least %.3f\n", least);
        std::printf("client_rate_most %.3f\n", most);
        std::printf("client_queries_in_window %.0f\n", total * wall);
        QCoreApplication::quit();
    }

    VelmorMain& window_;
    const Options& o_;
    QElapsedTimer clock_;
    std::vector<double> ticks_;
    std::vector<QProcess*> clients_;
    int finished_ = 0;
    double cpuStart_ = 0.0;
    double cpu_ = 0.0;
    double windowStart_ = 0.0;
    double windowEnd_ = 1.0;
    int status_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Options o;
    if (!parse(QCoreApplication::arguments(), o)) {
        std::fprintf(stderr,
                     "usage: bench-scpi throughput --links DIR --baud B --queries N --python P "
                     "--client SCRIPT\n"
                     "       bench-scpi cpu --links DIR --seconds S --server "
                     "off|listening|idle-client\n"
                     "       bench-scpi clients --links DIR --clients N --seconds S --python P "
                     "--client SCRIPT\n");
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
    ClientsRun clients(window, o);
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
        const bool serving = o.mode != QLatin1String("cpu") || o.server != QLatin1String("off");
        if (serving && !remote.start()) {
            std::fprintf(stderr, "bench-scpi: the server did not start\n");
            status = 1;
            app.quit();
            return;
        }
        // With the server off it was never made.
        const quint16 port = serving ? remote.server()->scpiPort() : quint16(0);
        if (o.mode == QLatin1String("clients")) {
            clients.start(port);
            return;
        }
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
    return std::max(status, clients.status());
}
