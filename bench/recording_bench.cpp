// A long burn-in's recording opened in the trend window, as 打开CSV… opens
// it: how long until the window shows, what memory it keeps, and what one
// zoom or pan step costs with the whole file behind the chart.
//
//   bench-recording [--days D] [--runs N] [--file PATH | --open PATH]
//
// Writes D days (default 7) of a polling cycle's rows to PATH (default a
// temporary file): one reading every 500 ms, each of the nine recorded
// quantities in turn, every row carrying the latest values, and a link
// event (the recording's start, then the line lost and back) once a day.
// Then opens it through the trend windows and prints rows, file_mib, open_ms
// (from the call until the chart's first paint), rss_before_kib and rss_kib
// (after the window showed), and for N zoom steps in and out and N pan steps
// each way the wall time of the step and a repaint: zoom_median_ms,
// zoom_max_ms, pan_median_ms, pan_max_ms. --open opens a recording that is
// there already, as it is.
#include "Measure.h"
#include "app/TrendView.h"
#include "app/TrendWindow.h"
#include "app/TrendWindows.h"
#include "record/CsvFormat.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace {

constexpr qint64 RowMs = 500;
constexpr qint64 RowsADay = 24 * 3600 * 1000 / RowMs;

struct Options {
    double days = 7;
    int runs = 20;
    QString path;
    bool write = true;
};

bool parse(const QStringList& args, Options& options) {
    for (int i = 1; i + 1 < args.size(); i += 2) {
        bool ok = true;
        if (args[i] == QLatin1String("--days"))
            options.days = args[i + 1].toDouble(&ok);
        else if (args[i] == QLatin1String("--runs"))
            options.runs = args[i + 1].toInt(&ok);
        else if (args[i] == QLatin1String("--file") || args[i] == QLatin1String("--open"))
            options.path = args[i + 1];
        else
            return false;
        if (!ok)
            return false;
        options.write = options.write && args[i] != QLatin1String("--open");
    }
    return args.size() % 2 == 1 && options.days > 0 && options.runs > 0;
}

// A load that steps every ten minutes, the output on, setpoints fixed.
double valueAt(int column, qint64 t) {
    const double load = 0.5 + 0.1 * double((t / 600000) % 10);
    switch (column) {
    case 0:
        return 12.0 - 0.2 * load;
    case 1:
        return load;
    case 2:
        return 12.0;
    case 3:
        return 2.0;
    case 4:
        return 13.2;
    default:
        return 2.2;
    }
}

qint64 writeRecording(const QString& path, qint64 start, qint64 rows) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return -1;
    file.write(CsvFormat::header().toUtf8() + '\n');
    const QStringList tail = {CsvFormat::outputText(OutputState::On),
                              CsvFormat::modeText(TrackingMode::Independent),
                              CsvFormat::channelText(1), QString()};
    const Quantity recorded[] = {Quantity::MeasuredVoltage, Quantity::MeasuredCurrent,
                                 Quantity::SetVoltage,      Quantity::SetCurrent,
                                 Quantity::OverVoltage,     Quantity::OverCurrent,
                                 Quantity::Output,          Quantity::Mode,
                                 Quantity::Channel};
    for (qint64 row = 0; row < rows; ++row) {
        const qint64 t = start + row * RowMs;
        const QDateTime time = QDateTime::fromMSecsSinceEpoch(t);
        QStringList fields = {CsvFormat::timeText(time)};
        if (row % RowsADay == 0) {
            fields << QString();
            for (int i = 0; i < CsvFormat::ValueColumnCount; ++i)
                fields << QString();
            fields << CsvFormat::recordingStartedText(QStringLiteral("COM3"),
                                                      QStringLiteral("9600,N,8,1"));
            file.write(CsvFormat::line(fields));
            continue;
        }
        fields << CsvFormat::columnName(recorded[row % 9]);
        for (int column = 0; column < 6; ++column)
            fields << CsvFormat::numberText(valueAt(column, t));
        fields << tail;
        file.write(CsvFormat::line(fields));
    }
    return file.size();
}

// Notes the first paint of a widget.
class PaintWatch : public QObject {
public:
    bool painted = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

double median(std::vector<double> samples) {
    return Measure::percentile(samples, 0.5);
}

double maximum(std::vector<double> samples) {
    return Measure::percentile(samples, 1.0);
}

// Each step's wall time with the repaint it causes.
template <typename Step> std::vector<double> timeSteps(TrendWindow& window, int runs, Step step) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const double t0 = Measure::nowMs();
        step(run);
        window.view().viewport()->repaint();
        times.push_back(Measure::nowMs() - t0);
        QCoreApplication::processEvents();
    }
    return times;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Options options;
    if (!parse(QCoreApplication::arguments(), options)) {
        std::fprintf(stderr,
                     "usage: bench-recording [--days D] [--runs N] [--file PATH | --open PATH]\n");
        return 2;
    }
    QTemporaryDir folder;
    if (options.path.isEmpty())
        options.path = folder.filePath(QStringLiteral("burn-in.csv"));
    if (options.write) {
        const qint64 rows = qint64(options.days * 24 * 3600 * 1000 / RowMs);
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        if (writeRecording(options.path, now - rows * RowMs, rows) < 0) {
            std::fprintf(stderr, "bench-recording: cannot write %s\n", qPrintable(options.path));
            return 1;
        }
        std::printf("rows %lld\n", static_cast<long long>(rows));
    }
    std::printf("file_mib %.1f\n", double(QFile(options.path).size()) / (1024.0 * 1024.0));

    ReadingHistory live;
    QWidget owner;
    TrendWindows windows(live, &owner);
    const long before = Measure::residentKib();
    const double t0 = Measure::nowMs();
    auto* window = qobject_cast<TrendWindow*>(windows.openFile(options.path));
    if (!window) {
        std::fprintf(stderr, "bench-recording: the file did not open\n");
        return 1;
    }
    PaintWatch watch;
    window->view().viewport()->installEventFilter(&watch);
    while (!watch.painted && Measure::nowMs() - t0 < 60000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    std::printf("open_ms %.1f\n", Measure::nowMs() - t0);
    std::printf("rss_before_kib %ld\n", before);
    std::printf("rss_kib %ld\n", Measure::residentKib());

    TrendView& view = window->view();
    const std::vector<double> zooms = timeSteps(*window, options.runs, [&view](int run) {
        emit view.zoomRequested(run % 2 == 0 ? 0.5 : 2.0, 0.5);
    });
    const std::vector<double> pans = timeSteps(*window, options.runs, [&view](int run) {
        emit view.panRequested(run % 2 == 0 ? -0.25 : 0.25);
    });
    std::printf("zoom_median_ms %.2f\n", median(zooms));
    std::printf("zoom_max_ms %.2f\n", maximum(zooms));
    std::printf("pan_median_ms %.2f\n", median(pans));
    std::printf("pan_max_ms %.2f\n", maximum(pans));
    return 0;
}
