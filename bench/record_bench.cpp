// What a recording costs: the panel's own window with the recording
// attached, readings put into the supply model one after the other, each
// followed by a pass of the event loop so that the row counter is painted
// as it is while polling.
//
//   bench-record --dir DIR [--rows N]
//
// Runs N readings (default 100000) not recording, then N recording into a
// file in DIR, and prints base_us and row_us (CPU per reading without and
// with recording), record_us (their difference: what one row costs),
// cpu_percent (that cost at the polling rate of one reading a second, as a
// share of one core), rss_hour_kib (resident memory once an hour's worth of
// rows, 3600, was recorded), rss_kib (after all N) and file_bytes.
#include "Measure.h"
#include "app/ReadoutMenu.h"
#include "app/RecordingControl.h"
#include "app/VelmorMain.h"
#include "record/CsvRecorder.h"
#include "serial/QtSerialControl.h"
#include "supply/SupplyModel.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QTest>

#include <cstdio>
#include <memory>

namespace {

// Nine readings every 9 s polling cycle.
constexpr double kRowsPerSecond = 1.0;
constexpr int kRowsPerHour = 3600;

void reading(SupplyModel& model, int n) {
    const QDateTime now = QDateTime::currentDateTime();
    switch (n % 9) {
    case 6:
        model.setOutput(OutputState::On, now);
        break;
    case 7:
        model.setMode(TrackingMode::Independent, now);
        break;
    case 8:
        model.setChannel(1, now);
        break;
    default:
        model.setNumber(static_cast<Quantity>(n % 9), 5.0 + (n % 1000) * 0.001, now);
    }
    QCoreApplication::processEvents();
}

// CPU microseconds per reading over `rows` readings; `each` runs after
// every reading.
template <typename Each> double perReading(SupplyModel& model, int rows, Each each) {
    const double before = Measure::cpuSeconds();
    for (int n = 0; n < rows; ++n) {
        reading(model, n);
        each(n);
    }
    return (Measure::cpuSeconds() - before) * 1e6 / rows;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QString dir;
    int rows = 100000;
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--dir"))
            dir = args[i + 1];
        else if (args[i] == QLatin1String("--rows"))
            rows = args[i + 1].toInt();
    }
    if (dir.isEmpty() || rows < kRowsPerHour) {
        std::fprintf(stderr, "usage: bench-record --dir DIR [--rows N], N >= %d\n", kRowsPerHour);
        return 2;
    }

    // A port-link folder with no links: the port stays closed.
    VelmorMain window(std::make_unique<QtSerialControl>(PortDirectory(dir)), PortDirectory(dir));
    SupplyModel model;
    CsvRecorder recorder(model);
    ReadoutMenu menu(*window.controls().Frame2);
    RecordingControl recording(window, recorder, menu, window.messageLine(), window.messageBoxes(),
                               RecordingControl::indicatorPlace(window.controls()));
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::fprintf(stderr, "bench-record: the window was not shown\n");
        return 1;
    }

    const auto nothing = [](int) {};
    perReading(model, 1000, nothing);
    const double base = perReading(model, rows, nothing);

    const QString file = QDir(dir).filePath(QStringLiteral("bench-record.csv"));
    QFile::remove(file);
    recording.replaceChooser([&file](const QString&) { return file; });
    recording.chooseAndStart();
    if (!recorder.isRecording()) {
        std::fprintf(stderr, "bench-record: %s\n", qPrintable(recorder.errorString()));
        return 1;
    }
    long rssHour = 0;
    perReading(model, 1000, nothing);
    const double recorded = perReading(model, rows, [&rssHour](int n) {
        if (n + 1 == kRowsPerHour)
            rssHour = Measure::residentKib();
    });
    const long rss = Measure::residentKib();
    recording.stop();

    const double cost = recorded - base;
    std::printf("base_us %.3f\n", base);
    std::printf("row_us %.3f\n", recorded);
    std::printf("record_us %.3f\n", cost);
    std::printf("cpu_percent %.5f\n", cost * kRowsPerSecond / 1e6 * 100.0);
    std::printf("rss_hour_kib %ld\n", rssHour);
    std::printf("rss_kib %ld\n", rss);
    std::printf("rows %d\n", rows);
    std::printf("file_bytes %lld\n", QFileInfo(file).size());
    QFile::remove(file);
    return 0;
}
