// A programmed run on the panel's own window, polling the simulated supply
// on COM200 through the real serial control.
//
//   bench-program steps --links DIR [--steps N] [--dwell S]
//   bench-program cpu --links DIR --seconds S [--run]
//
// steps runs N steps (default 200) of S seconds (default 0.2) while polling
// and times, for each step, how late its voltage command reached the line
// against its schedule: prints late_median_ms, late_p99_ms, late_max_ms and
// steps. cpu polls for S seconds and prints cpu_percent (of one core); with
// --run a programmed run is in one long step the whole time, so the
// difference of the two is what a run costs between its steps.
#include "Measure.h"
#include "app/VelmorMain.h"
#include "serial/QtSerialControl.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int SettleMs = 3000;

struct Options {
    bool steps = false;
    bool run = false;
    QString links;
    int count = 200;
    double dwell = 0.2;
    double seconds = 0.0;
};

bool parse(const QStringList& args, Options& options) {
    if (args.size() < 2 || (args[1] != QLatin1String("steps") && args[1] != QLatin1String("cpu")))
        return false;
    options.steps = args[1] == QLatin1String("steps");
    for (int i = 2; i < args.size(); ++i) {
        const QString& name = args[i];
        if (name == QLatin1String("--run")) {
            options.run = true;
            continue;
        }
        if (i + 1 == args.size())
            return false;
        const QString& value = args[++i];
        if (name == QLatin1String("--links"))
            options.links = value;
        else if (name == QLatin1String("--steps"))
            options.count = value.toInt();
        else if (name == QLatin1String("--dwell"))
            options.dwell = value.toDouble();
        else if (name == QLatin1String("--seconds"))
            options.seconds = value.toDouble();
        else
            return false;
    }
    return !options.links.isEmpty() && options.count > 0 &&
           ProgramLimits::dwellAllowed(options.dwell) && (options.steps || options.seconds > 0);
}

void choose(VelmorMain& window, const char* list, const QString& item) {
    auto* combo = window.findChild<QComboBox*>(list);
    const int index = combo->findText(item);
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Options options;
    if (!parse(QCoreApplication::arguments(), options)) {
        std::fprintf(stderr, "usage: bench-program steps --links DIR [--steps N] [--dwell S]\n"
                             "       bench-program cpu --links DIR --seconds S [--run]\n");
        return 2;
    }
    VelmorMain window(std::make_unique<QtSerialControl>(PortDirectory(options.links)),
                      PortDirectory(options.links));
    window.messageBoxes().replaceShower([](const MessageBoxes::Box&) {});
    window.show();
    ProgramRun& run = window.tools().programs().automation().run();
    std::vector<double> late;
    double cpuAtStart = 0.0;
    double wallAtStart = 0.0;
    int status = 0;

    QObject::connect(&window.trafficLog(), &TrafficLog::appended, &window,
                     [&](const QString& text) {
                         if (run.isActive() && text.contains(QLatin1String("VOLTage:LEVel ")))
                             late.push_back(double(run.clockMsecs() - run.stepDueMsecs()));
                     });
    QObject::connect(&run, &ProgramRun::ended, &app, [&] {
        if (!options.steps)
            return;
        std::printf("late_median_ms %.3f\n", Measure::percentile(late, 0.5));
        std::printf("late_p99_ms %.3f\n", Measure::percentile(late, 0.99));
        std::printf("late_max_ms %.3f\n", late.empty() ? 0.0 : late.back());
        std::printf("steps %zu\n", late.size());
        app.quit();
    });

    QTimer::singleShot(SettleMs, &app, [&] {
        window.findChild<QComboBox*>("CboCom")->setEditText(QStringLiteral("COM200"));
        window.findChild<QAbstractButton*>("CmdSwitch")->click();
        if (!window.MSComm().PortOpen()) {
            std::fprintf(stderr, "bench-program: COM200 did not open\n");
            status = 1;
            app.quit();
            return;
        }
        choose(window, "PowerTypeCombVol", QStringLiteral("30  V"));
        choose(window, "PowerTypeCombCur", QStringLiteral("3   A"));
        window.findChild<QAbstractButton*>("SeekCmd")->click();
        ProgramRun::Program program;
        if (options.steps) {
            for (int k = 0; k < options.count; ++k)
                program.steps.push_back({5.0 + k % 2, 0.5, options.dwell, OutputState::On});
        } else {
            program.steps.push_back({5.0, 0.5, options.seconds + 60.0, OutputState::On});
        }
        if (options.steps || options.run)
            run.start(program);
        if (options.steps)
            return;
        QTimer::singleShot(SettleMs, &app, [&] {
            cpuAtStart = Measure::cpuSeconds();
            wallAtStart = Measure::nowMs();
            QTimer::singleShot(int(options.seconds * 1000.0), &app, [&] {
                const double wall = (Measure::nowMs() - wallAtStart) / 1e3;
                std::printf("cpu_percent %.4f\n",
                            100.0 * (Measure::cpuSeconds() - cpuAtStart) / wall);
                app.quit();
            });
        });
    });
    app.exec();
    std::fflush(stdout);
    return status;
}
