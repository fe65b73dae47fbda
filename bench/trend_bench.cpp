// What the trend window costs: one redraw with a day of history in view,
// and the CPU the open window adds while readings come as polling brings
// them.
//
//   bench-trend redraw [--hours H] [--runs N]
//   bench-trend cpu --seconds S [--hours H] [--span ten|day] [--no-window]
//
// Both fill the supply model with H hours of the polling cycle first (one
// reading of each quantity per 9 s; 24 for redraw, 0 for cpu unless given):
// a load that steps every ten minutes, the setpoint changed once, the output
// off for a while and a pause in polling.
//
// redraw shows the live window with 24 h in view, then N times adds one
// cycle of readings and times the window's refresh (the series refilled and
// laid out) and a repaint of the chart: prints the wall time
// redraw_median_ms and redraw_p90_ms, the thread's CPU time
// redraw_cpu_median_ms, the two parts plot_median_ms and paint_median_ms,
// and points_in_view.
//
// cpu plays the cycle in real time, one step every 500 ms, into the model,
// with the live window shown (span ten minutes or a day) or with no window,
// and prints cpu_percent (of one core) over S seconds after a settling time.
// The window's share is the difference of the two.
#include "Measure.h"
#include "app/TrendChart.h"
#include "app/TrendView.h"
#include "app/TrendWindow.h"
#include "app/TrendWindows.h"

#include <QApplication>
#include <QLineSeries>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

constexpr qint64 StepMs = 500;
constexpr int Steps = 18;
constexpr int SettleMs = 3000;

struct Options {
    bool redraw = false;
    double hours = -1;
    int runs = 50;
    double seconds = 0;
    bool window = true;
    bool daySpan = false;
};

bool parse(const QStringList& args, Options& options) {
    if (args.size() < 2 || (args[1] != QLatin1String("redraw") && args[1] != QLatin1String("cpu")))
        return false;
    options.redraw = args[1] == QLatin1String("redraw");
    for (int i = 2; i < args.size(); ++i) {
        const QString& name = args[i];
        if (name == QLatin1String("--no-window")) {
            options.window = false;
            continue;
        }
        if (i + 1 == args.size())
            return false;
        const QString& value = args[++i];
        bool ok = true;
        if (name == QLatin1String("--hours"))
            options.hours = value.toDouble(&ok);
        else if (name == QLatin1String("--runs"))
            options.runs = value.toInt(&ok);
        else if (name == QLatin1String("--seconds"))
            options.seconds = value.toDouble(&ok);
        else if (name == QLatin1String("--span") &&
                 (value == QLatin1String("ten") || value == QLatin1String("day")))
            options.daySpan = value == QLatin1String("day");
        else
            return false;
        if (!ok)
            return false;
    }
    if (options.hours < 0)
        options.hours = options.redraw ? 24 : 0;
    if (options.hours > 24 * 30 || options.runs < 1 || options.runs > 100000)
        return false;
    return options.redraw || (options.seconds > 0 && options.seconds < 24 * 3600);
}

// The supply over a run that began at start: what each step reads at t.
class Scenario {
public:
    Scenario(qint64 start, qint64 length) : start_(start), length_(length) {}

    // Polling pauses for five minutes three quarters into the run.
    bool polling(qint64 t) const {
        const qint64 pause = start_ + length_ * 3 / 4;
        return t < pause || t >= pause + 5 * 60 * 1000;
    }
    void read(SupplyModel& model, int step, const QDateTime& time) const {
        const qint64 t = time.toMSecsSinceEpoch();
        const double share = length_ > 0 ? double(t - start_) / double(length_) : 1.0;
        const bool on = share < 0.55 || share >= 0.62;
        const double set = share < 0.4 ? 12.0 : 5.0;
        const double load = std::array<double, 3>{0.3, 0.8, 1.2}[(t / 600000) % 3];
        const double ripple = 0.004 * std::sin(double(t) / 7000.0);
        switch (step) {
        case 1:
            model.setNumber(Quantity::MeasuredVoltage, on ? set - 0.1 * load + ripple : 0.0, time);
            break;
        case 2:
            model.setNumber(Quantity::MeasuredCurrent, on ? load + ripple / 2 : 0.0, time);
            break;
        case 3:
            model.setNumber(Quantity::SetVoltage, set, time);
            break;
        case 4:
            model.setNumber(Quantity::SetCurrent, 1.5, time);
            break;
        case 5:
            model.setNumber(Quantity::OverVoltage, set + 1.0, time);
            break;
        case 6:
            model.setNumber(Quantity::OverCurrent, 1.6, time);
            break;
        case 7:
            model.setOutput(on ? OutputState::On : OutputState::Off, time);
            break;
        case 8:
            model.setMode(TrackingMode::Independent, time);
            break;
        case 9:
            model.setChannel(1, time);
            break;
        default:
            break;
        }
    }
    // Every step from start up to t.
    void fill(SupplyModel& model, qint64 until) const {
        bool polled = true;
        int step = 0;
        for (qint64 t = start_; t < until; t += StepMs) {
            if (polling(t) != polled) {
                polled = !polled;
                model.reportLinkEvent(polled ? LinkEvent::PollingStarted
                                             : LinkEvent::PollingStopped,
                                      QDateTime::fromMSecsSinceEpoch(t));
            }
            if (!polled)
                continue;
            step = step % Steps + 1;
            read(model, step, QDateTime::fromMSecsSinceEpoch(t));
        }
    }

private:
    qint64 start_;
    qint64 length_;
};

// CPU time of this thread, in ms: what a redraw costs, whatever else the
// machine is busy with.
double threadCpuMs() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double median(std::vector<double> samples) {
    return Measure::percentile(samples, 0.5);
}

int redraw(const Options& options, SupplyModel& model, const ReadingHistory& history,
           TrendWindows& windows, const Scenario& scenario, qint64 now) {
    auto* window = qobject_cast<TrendWindow*>(windows.showLive());
    window->setSpan(TrendWindow::Span::Day);
    QCoreApplication::processEvents();
    std::vector<double> total;
    std::vector<double> cpu;
    std::vector<double> plot;
    std::vector<double> paint;
    qint64 t = now;
    for (int run = 0; run < options.runs; ++run) {
        for (int step = 1; step <= Steps; ++step, t += StepMs)
            scenario.read(model, step, QDateTime::fromMSecsSinceEpoch(t));
        const double c0 = threadCpuMs();
        const double t0 = Measure::nowMs();
        window->refresh();
        const double t1 = Measure::nowMs();
        window->view().viewport()->repaint();
        const double t2 = Measure::nowMs();
        cpu.push_back(threadCpuMs() - c0);
        plot.push_back(t1 - t0);
        paint.push_back(t2 - t1);
        total.push_back(t2 - t0);
        QCoreApplication::processEvents();
    }
    qsizetype points = 0;
    for (Quantity quantity : TrendLines::Plotted) {
        for (const QLineSeries* run : window->chart().runs(quantity))
            points += run->count();
    }
    std::printf("points_in_view %lld\n", static_cast<long long>(points));
    std::printf("history_points %zu\n", history.points(Quantity::MeasuredVoltage).size());
    std::printf("redraw_median_ms %.3f\n", median(total));
    std::vector<double> sorted = total;
    std::printf("redraw_p90_ms %.3f\n", Measure::percentile(sorted, 0.9));
    std::printf("redraw_cpu_median_ms %.3f\n", median(cpu));
    std::printf("plot_median_ms %.3f\n", median(plot));
    std::printf("paint_median_ms %.3f\n", median(paint));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Options options;
    if (!parse(QCoreApplication::arguments(), options)) {
        std::fprintf(stderr, "usage: bench-trend redraw [--hours H] [--runs N]\n"
                             "       bench-trend cpu --seconds S [--hours H] [--span ten|day] "
                             "[--no-window]\n");
        return 2;
    }

    SupplyModel model;
    ReadingHistory history;
    history.follow(model);
    QWidget owner;
    TrendWindows windows(history, &owner);

    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const qint64 length = qint64(options.hours * 3600 * 1000);
    const Scenario scenario(now - length, length);
    scenario.fill(model, now);

    if (options.redraw)
        return redraw(options, model, history, windows, scenario, now);

    if (options.window) {
        qobject_cast<TrendWindow*>(windows.showLive())
            ->setSpan(options.daySpan ? TrendWindow::Span::Day : TrendWindow::Span::TenMinutes);
    }
    int step = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        step = step % Steps + 1;
        scenario.read(model, step, QDateTime::currentDateTime());
    });
    tick.start(int(StepMs));

    double cpu = 0;
    double wall = 0;
    QTimer::singleShot(SettleMs, [&] {
        cpu = Measure::cpuSeconds();
        wall = Measure::nowMs();
    });
    QTimer::singleShot(SettleMs + int(options.seconds * 1000), [&] {
        const double seconds = (Measure::nowMs() - wall) / 1e3;
        std::printf("cpu_percent %.4f\n", 100.0 * (Measure::cpuSeconds() - cpu) / seconds);
        std::printf("history_points %zu\n", history.points(Quantity::MeasuredVoltage).size());
        app.quit();
    });
    app.exec();
    std::fflush(stdout);
    return 0;
}
