// CPU and resident memory of the panel, idle or polling the simulated supply.
//
// The window is the program's own, on the real serial control, shown; the
// figures are this process's own (all its threads), so the X server's work
// is not counted.
//
//   bench-polling idle --links DIR --seconds S [--hide-log]
//   bench-polling poll --links DIR --seconds S --cpu-seconds C --rss-first-at F [--hide-log]
//
// Both wait a while after start-up before they measure, and print
// startup_rss_kib. idle then measures S seconds with the port closed and
// prints cpu_percent (of one core) and rss_kib. poll opens COM200, starts
// polling, waits for the first replies and then measures S seconds: it
// prints cpu_percent over the first C seconds, cpu_all_percent over all S,
// rss_first_kib at F seconds, rss_kib at the end, and what was received.
// --hide-log hides the traffic log, to show what painting it costs.
#include "Measure.h"
#include "app/VelmorMain.h"
#include "serial/QtSerialControl.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

constexpr int SettleMs = 3000;

struct Options {
    bool polling = false;
    bool showLog = true;
    QString links;
    double seconds = 60.0;
    double cpuSeconds = 60.0;
    double rssFirstAt = 60.0;
};

bool parse(const QStringList& args, Options& options) {
    if (args.size() < 2 || (args[1] != QLatin1String("idle") && args[1] != QLatin1String("poll")))
        return false;
    options.polling = args[1] == QLatin1String("poll");
    for (int i = 2; i < args.size(); ++i) {
        const QString& name = args[i];
        if (name == QLatin1String("--hide-log")) {
            options.showLog = false;
            continue;
        }
        if (i + 1 == args.size())
            return false;
        const QString& value = args[++i];
        if (name == QLatin1String("--links"))
            options.links = value;
        else if (name == QLatin1String("--seconds"))
            options.seconds = value.toDouble();
        else if (name == QLatin1String("--cpu-seconds"))
            options.cpuSeconds = value.toDouble();
        else if (name == QLatin1String("--rss-first-at"))
            options.rssFirstAt = value.toDouble();
        else
            return false;
    }
    if (options.links.isEmpty() || options.seconds <= 0)
        return false;
    return !options.polling || (options.cpuSeconds > 0 && options.cpuSeconds <= options.seconds &&
                                options.rssFirstAt <= options.seconds);
}

void after(double seconds, std::function<void()> action) {
    QTimer::singleShot(static_cast<int>(seconds * 1000.0), std::move(action));
}

// CPU used since a starting point, as a share of one core.
class CpuShare {
public:
    void start() {
        cpu_ = Measure::cpuSeconds();
        wall_ = Measure::nowMs();
    }
    double percent() const {
        const double wallSeconds = (Measure::nowMs() - wall_) / 1e3;
        return 100.0 * (Measure::cpuSeconds() - cpu_) / wallSeconds;
    }

private:
    double cpu_ = 0.0;
    double wall_ = 0.0;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Options options;
    if (!parse(QCoreApplication::arguments(), options)) {
        std::fprintf(stderr, "usage: bench-polling idle --links DIR --seconds S [--hide-log]\n"
                             "       bench-polling poll --links DIR --seconds S --cpu-seconds C "
                             "--rss-first-at F [--hide-log]\n");
        return 2;
    }

    VelmorMain window(std::make_unique<QtSerialControl>(PortDirectory(options.links)),
                      PortDirectory(options.links));
    int boxes = 0;
    window.messageBoxes().replaceShower([&boxes](const MessageBoxes::Box&) { ++boxes; });
    window.show();
    window.findChild<QWidget*>("TxtReceive")->setVisible(options.showLog);

    CpuShare share;
    int status = 0;
    const auto measure = [&] {
        share.start();
        if (!options.polling) {
            after(options.seconds, [&] {
                std::printf("cpu_percent %.4f\n", share.percent());
                std::printf("rss_kib %ld\n", Measure::residentKib());
                app.quit();
            });
            return;
        }
        after(options.cpuSeconds, [&] { std::printf("cpu_percent %.4f\n", share.percent()); });
        after(options.rssFirstAt,
              [&] { std::printf("rss_first_kib %ld\n", Measure::residentKib()); });
        after(options.seconds, [&] {
            std::printf("cpu_all_percent %.4f\n", share.percent());
            std::printf("rss_kib %ld\n", Measure::residentKib());
            std::printf("rx_bytes %lld\n",
                        static_cast<long long>(window.link().trafficLog().rxCount()));
            std::printf("voltage_readout %s\n",
                        qPrintable(window.findChild<QLabel*>("ReadVolLab")->text()));
            std::printf("boxes %d\n", boxes);
            status = window.MSComm().PortOpen() && boxes == 0 ? 0 : 1;
            app.quit();
        });
    };

    after(SettleMs / 1e3, [&] {
        std::printf("startup_rss_kib %ld\n", Measure::residentKib());
        if (!options.polling) {
            measure();
            return;
        }
        window.findChild<QComboBox*>("CboCom")->setEditText(QStringLiteral("COM200"));
        window.findChild<QAbstractButton*>("CmdSwitch")->click();
        if (!window.MSComm().PortOpen()) {
            std::fprintf(stderr, "bench-polling: COM200 did not open\n");
            status = 1;
            app.quit();
            return;
        }
        window.findChild<QAbstractButton*>("SeekCmd")->click();
        after(SettleMs / 1e3, measure);
    });
    app.exec();
    std::fflush(stdout);
    return status;
}
