#include "app/TrendChart.h"
#include "app/TrendView.h"
#include "app/TrendWindow.h"
#include "app/TrendWindows.h"
#include "support/PanelFixture.h"
#include "support/ScriptedSupply.h"
#include "support/SupplyCycle.h"
#include "support/TrendCycle.h"

#include <QAbstractButton>
#include <QAction>
#include <QDateTimeAxis>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMenu>
#include <QTemporaryDir>
#include <QValueAxis>
#include <QtTest>

namespace {

constexpr qint64 MinuteMs = 60 * 1000;

const QDateTime kStart = TrendCycle::start();
using TrendCycle::readings;

QList<QPointF> seriesPoints(const QList<QLineSeries*>& runs) {
    QList<QPointF> points;
    for (QLineSeries* run : runs)
        points << run->points();
    return points;
}

// The panel's side: a model fed by the cycle, its history, the windows
// owned by a stand-in for the main window, and boxes recorded, not shown.
struct Bench {
    Bench() : cycle(model, kStart), windows(history, &owner) {
        history.follow(model);
        owner.addAction(windows.showAction());
        windows.messageBoxes().replaceShower(
            [this](const MessageBoxes::Box& box) { boxes << box.text; });
        owner.show();
    }
    void play(int cycles) {
        for (int k = 0; k < cycles; ++k)
            cycle.play(TrendCycle::values(played++));
    }
    TrendWindow* live() {
        auto* window = qobject_cast<TrendWindow*>(windows.showLive());
        window->refresh();
        return window;
    }
    template <typename W> W* find(TrendWindow* window, const char* name) {
        return window->findChild<W*>(QLatin1String(name));
    }
    qint64 lastReading() const { return history.points(Quantity::Channel).back().msecs; }

    SupplyModel model;
    ReadingHistory history;
    SupplyCycle cycle;
    QWidget owner;
    TrendWindows windows;
    QStringList boxes;
    int played = 0;
};

QPoint viewPosOf(TrendWindow* window, double x, double y, QLineSeries* series) {
    const QPointF scene = window->chart().mapToPosition(QPointF(x, y), series);
    return window->view().mapFromScene(scene);
}

QPoint plotCentre(TrendWindow* window) {
    return window->view().mapFromScene(window->chart().plotArea().center());
}

} // namespace

class TestTrendWindow : public QObject {
    Q_OBJECT
private slots:
    void emptyChartWaitsForReadings();
    void seriesHoldTheReadings();
    void linesBreakAtLinkEvents();
    void spansEndAtTheLatestReading_data();
    void spansEndAtTheLatestReading();
    void pausedSpanKeepsItsRightEdge();
    void wheelZoomsAndPauses();
    void dragPansAndFollowResumes();
    void hoverShowsTheNearestReadings();
    void powerLineShownOnAsking();
    void closingLosesNothing();
    void refreshComesByItselfOnlyWhileShown();
    void pictureHasTheWindowsSize();
    void recordingOpensInAWindowOfItsOwn();
    void foreignFileGivesABoxAndNoWindow();
    void ctrlTOnThePanelShowsThePolledReadings();
};

void TestTrendWindow::emptyChartWaitsForReadings() {
    Bench bench;
    TrendWindow* window = bench.live();
    QCOMPARE(window->objectName(), QStringLiteral("TrendWindow"));
    QCOMPARE(window->windowTitle(), QStringLiteral("趋势图 - Velmor电源监控-V3.5"));
    QVERIFY(window->isWindow());
    QVERIFY(bench.find<QLabel>(window, "waitingLabel")->isVisible());
    // Link events alone plot nothing.
    bench.cycle.event(LinkEvent::PortOpened);
    window->refresh();
    QVERIFY(bench.find<QLabel>(window, "waitingLabel")->isVisible());
    bench.play(1);
    window->refresh();
    QVERIFY(!bench.find<QLabel>(window, "waitingLabel")->isVisible());
}

void TestTrendWindow::seriesHoldTheReadings() {
    Bench bench;
    TrendWindow* window = bench.live();
    bench.play(30);
    window->setSpan(TrendWindow::Span::All);
    window->refresh();
    TrendChart& chart = window->chart();
    QCOMPARE(chart.runs(Quantity::MeasuredVoltage).size(), 1);
    QCOMPARE(seriesPoints(chart.runs(Quantity::MeasuredVoltage)),
             readings(bench.history, Quantity::MeasuredVoltage));
    QCOMPARE(seriesPoints(chart.runs(Quantity::MeasuredCurrent)),
             readings(bench.history, Quantity::MeasuredCurrent));
    // The setpoint steps: 12 V from the first reading, 12.5 V from the
    // eleventh, held to the latest reading.
    const auto& set = bench.history.points(Quantity::SetVoltage);
    const double first = double(set.front().msecs);
    const double change = double(set[10].msecs);
    QCOMPARE(
        seriesPoints(chart.runs(Quantity::SetVoltage)),
        (QList<QPointF>{
            {first, 12.0}, {change, 12.0}, {change, 12.5}, {double(bench.lastReading()), 12.5}}));
    // Voltages on the left axis, currents on the right.
    QVERIFY(chart.runs(Quantity::MeasuredVoltage)[0]->attachedAxes().contains(chart.voltAxis()));
    QVERIFY(chart.runs(Quantity::SetCurrent)[0]->attachedAxes().contains(chart.ampAxis()));
    QVERIFY(chart.runs(Quantity::SetCurrent)[0]->pen().style() == Qt::DashLine);
}

void TestTrendWindow::linesBreakAtLinkEvents() {
    Bench bench;
    TrendWindow* window = bench.live();
    TrendCycle::playThreeRuns(bench.cycle, bench.played);
    window->setSpan(TrendWindow::Span::All);
    window->refresh();
    // A series for each run; a lone reading shows as a mark.
    const auto& runs = window->chart().runs(Quantity::MeasuredVoltage);
    QCOMPARE(runs.size(), 3);
    QVERIFY(runs[2]->pointsVisible());
    QVERIFY(!runs[0]->pointsVisible());
    QCOMPARE(seriesPoints(runs), readings(bench.history, Quantity::MeasuredVoltage));
    QCOMPARE(window->chart().runs(Quantity::SetVoltage).size(), 3);
    // A minute: the last run and the one that enters the view from the left.
    window->setSpan(TrendWindow::Span::Minute);
    QCOMPARE(runs.size(), 2);
}

void TestTrendWindow::spansEndAtTheLatestReading_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<qint64>("width");
    QTest::newRow("1 min") << "spanMinute" << MinuteMs;
    QTest::newRow("10 min") << "spanTenMinutes" << 10 * MinuteMs;
    QTest::newRow("1 h") << "spanHour" << 60 * MinuteMs;
    QTest::newRow("24 h") << "spanDay" << 24 * 60 * MinuteMs;
}

void TestTrendWindow::spansEndAtTheLatestReading() {
    QFETCH(QString, button);
    QFETCH(qint64, width);
    Bench bench;
    bench.play(100); // 15 minutes
    TrendWindow* window = bench.live();
    bench.find<QAbstractButton>(window, qPrintable(button))->click();
    QCOMPARE(window->viewTo() - window->viewFrom(), width);
    const qint64 last = bench.lastReading();
    QVERIFY(window->viewTo() >= last);
    QVERIFY(window->viewTo() - last < width / 20);
    const QDateTimeAxis* axis = window->chart().timeAxis();
    QCOMPARE(axis->min().toMSecsSinceEpoch(), window->viewFrom());
    QCOMPARE(axis->max().toMSecsSinceEpoch(), window->viewTo());
    // Following: the next readings move the view along.
    bench.play(10);
    window->refresh();
    QVERIFY(window->viewTo() >= bench.lastReading());
    QCOMPARE(window->viewTo() - window->viewFrom(), width);

    bench.find<QAbstractButton>(window, "spanAll")->click();
    QVERIFY(window->viewFrom() <= bench.history.firstMsecs());
    QVERIFY(window->viewTo() >= bench.lastReading());
    QCOMPARE(seriesPoints(window->chart().runs(Quantity::MeasuredVoltage)),
             readings(bench.history, Quantity::MeasuredVoltage));
}

void TestTrendWindow::pausedSpanKeepsItsRightEdge() {
    Bench bench;
    bench.play(100);
    TrendWindow* window = bench.live();
    window->setFollowing(false);
    const qint64 edge = window->viewTo();
    bench.find<QAbstractButton>(window, "spanMinute")->click();
    QCOMPARE(window->viewTo(), edge);
    QCOMPARE(window->viewFrom(), edge - MinuteMs);
    QVERIFY(!window->following());
}

void TestTrendWindow::wheelZoomsAndPauses() {
    Bench bench;
    bench.play(100);
    TrendWindow* window = bench.live();
    QVERIFY(window->following());
    const qint64 width = window->viewTo() - window->viewFrom();
    const QPoint centre = plotCentre(window);
    const qint64 middle = (window->viewFrom() + window->viewTo()) / 2;
    QWheelEvent wheel(centre, window->view().mapToGlobal(centre), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(window->view().viewport(), &wheel);
    QVERIFY(!window->following());
    QVERIFY(!bench.find<QAbstractButton>(window, "followButton")->isChecked());
    QVERIFY(!bench.find<QAbstractButton>(window, "spanTenMinutes")->isChecked());
    const qint64 narrower = window->viewTo() - window->viewFrom();
    QVERIFY2(narrower < width * 0.85 && narrower > width * 0.75,
             qPrintable(QString::number(narrower)));
    // The time under the pointer stays under it.
    QVERIFY(qAbs((window->viewFrom() + window->viewTo()) / 2 - middle) < width / 50);
    // Paused: new readings do not move the view.
    const qint64 from = window->viewFrom();
    bench.play(5);
    window->refresh();
    QCOMPARE(window->viewFrom(), from);
}

void TestTrendWindow::dragPansAndFollowResumes() {
    Bench bench;
    bench.play(100);
    TrendWindow* window = bench.live();
    const qint64 from = window->viewFrom();
    const qint64 width = window->viewTo() - from;
    const QRectF plot = window->chart().plotArea();
    const QPoint start = plotCentre(window);
    const int quarter = int(plot.width() / 4);
    QWidget* viewport = window->view().viewport();
    QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, start);
    QTest::mouseMove(viewport, start + QPoint(quarter / 2, 0));
    QTest::mouseMove(viewport, start + QPoint(quarter, 0));
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, start + QPoint(quarter, 0));
    QVERIFY(!window->following());
    // Dragging to the right brings earlier times into view.
    const qint64 shift = from - window->viewFrom();
    QVERIFY2(qAbs(shift - width / 4) < width / 50, qPrintable(QString::number(shift)));
    QCOMPARE(window->viewTo() - window->viewFrom(), width);

    bench.play(3);
    window->refresh();
    QVERIFY(window->viewTo() < bench.lastReading());
    bench.find<QAbstractButton>(window, "followButton")->click();
    QVERIFY(window->following());
    QVERIFY(window->viewTo() >= bench.lastReading());
}

void TestTrendWindow::hoverShowsTheNearestReadings() {
    Bench bench;
    bench.play(6);
    TrendWindow* window = bench.live();
    window->setSpan(TrendWindow::Span::Minute);
    // Over the fourth measured voltage: 12.375 V, and the current read
    // half a second later, 0.5 A.
    const auto& volts = bench.history.points(Quantity::MeasuredVoltage);
    QLineSeries* series = window->chart().runs(Quantity::MeasuredVoltage).front();
    const QPoint pos = viewPosOf(window, double(volts[3].msecs), volts[3].value, series);
    QTest::mouseMove(window->view().viewport(), pos);
    const QString text = bench.find<QLabel>(window, "hoverLabel")->text();
    QVERIFY2(text.contains(QStringLiteral("测量电压 12.375 V")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("测量电流 0.5 A")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("设定电压 12 V")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("输出 开")), qPrintable(text));
    QVERIFY2(text.contains(
                 QDateTime::fromMSecsSinceEpoch(volts[3].msecs).toString(QStringLiteral("HH:mm:"))),
             qPrintable(text));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&window->view(), &leave);
    QVERIFY(bench.find<QLabel>(window, "hoverLabel")->text().isEmpty());
}

// The power line is the operator's choice, off at first: until asked the
// chart has no power line, axis or legend entry.
void TestTrendWindow::powerLineShownOnAsking() {
    Bench bench;
    bench.play(6);
    TrendWindow* window = bench.live();
    TrendChart& chart = window->chart();
    const auto shown = [&] {
        bool marker = false;
        for (QLegendMarker* m : chart.legend()->markers())
            marker = marker || (m->label() == TrendChart::powerName() && m->series()->isVisible());
        return std::tuple{marker, chart.wattAxis()->isVisible(), !chart.powerRuns().isEmpty()};
    };
    QCOMPARE(shown(), std::tuple(false, false, false));
    bench.find<QAbstractButton>(window, "powerButton")->click();
    QCOMPARE(shown(), std::tuple(true, true, true));
    // The cycle reads 12 V, then 0.5 A; from then on every reading of
    // either brings a point.
    const QList<QPointF> drawn = seriesPoints(chart.powerRuns());
    QCOMPARE(drawn.first(), QPointF(readings(bench.history, Quantity::MeasuredCurrent)[0].x(), 6));
    QCOMPARE(drawn.size(), 2 * 6 - 1);
    bench.find<QAbstractButton>(window, "powerButton")->click();
    QCOMPARE(shown(), std::tuple(false, false, false));
}

void TestTrendWindow::closingLosesNothing() {
    Bench bench;
    bench.play(2);
    TrendWindow* window = bench.live();
    window->close();
    QVERIFY(!window->isVisible());
    bench.play(5);
    bench.owner.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&bench.owner));
    QTest::keyClick(&bench.owner, Qt::Key_T, Qt::ControlModifier);
    QCOMPARE(bench.windows.liveWindow(), static_cast<QWidget*>(window));
    QVERIFY(window->isVisible());
    window->setSpan(TrendWindow::Span::All);
    QCOMPARE(seriesPoints(window->chart().runs(Quantity::MeasuredCurrent)),
             readings(bench.history, Quantity::MeasuredCurrent));
    QCOMPARE(window->chart().runs(Quantity::MeasuredCurrent).front()->count(), 7);
}

void TestTrendWindow::refreshComesByItselfOnlyWhileShown() {
    Bench bench;
    TrendWindow* window = bench.live();
    window->setSpan(TrendWindow::Span::All);
    bench.play(1);
    // Drawn within a few seconds, once the cycle's readings are in.
    QTRY_COMPARE_WITH_TIMEOUT(window->chart().runs(Quantity::MeasuredVoltage).size(), 1, 8000);
    window->hide();
    bench.play(1);
    QTest::qWait(4500);
    QCOMPARE(window->chart().runs(Quantity::MeasuredVoltage).front()->count(), 1);
    window->show();
    QCOMPARE(window->chart().runs(Quantity::MeasuredVoltage).front()->count(), 2);
}

void TestTrendWindow::pictureHasTheWindowsSize() {
    Bench bench;
    bench.play(20);
    TrendWindow* window = bench.live();
    window->resize(800, 500);
    QTemporaryDir dir;
    const QString path = dir.filePath("trend.png");
    window->replacePathAsker([&](const TrendWindow::PathQuestion& question) {
        return question.kind == TrendWindow::PathQuestion::Kind::SavePicture &&
                       question.proposal.endsWith(".png")
                   ? path
                   : QString();
    });
    bench.find<QAbstractButton>(window, "savePictureButton")->click();
    QImage image(path);
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), window->size() * window->devicePixelRatio());
    // Drawn, not blank: the voltage line's red is in it.
    bool red = false;
    for (int y = 0; y < image.height() && !red; y += 2) {
        for (int x = 0; x < image.width() && !red; ++x) {
            const QColor c = image.pixelColor(x, y);
            red = c.red() > 150 && c.green() < 90 && c.blue() < 90;
        }
    }
    QVERIFY(red);
    QVERIFY(bench.boxes.isEmpty());

    // A folder that is not there: the reason in a box.
    QStringList boxes;
    window->messageBoxes().replaceShower(
        [&boxes](const MessageBoxes::Box& box) { boxes << box.text; });
    window->replacePathAsker(
        [&](const TrendWindow::PathQuestion&) { return dir.filePath("missing/trend.png"); });
    bench.find<QAbstractButton>(window, "savePictureButton")->click();
    QCOMPARE(boxes.size(), 1);
    QVERIFY2(boxes[0].startsWith(QStringLiteral("保存失败：")) && boxes[0].size() > 5,
             qPrintable(boxes[0]));
}

void TestTrendWindow::recordingOpensInAWindowOfItsOwn() {
    Bench bench;
    bench.play(12);
    QTemporaryDir dir;
    const QString path = dir.filePath("velmor-20261207-080000.csv");
    // Exported from the live window, a damaged line added, opened from it.
    TrendWindow* live = bench.live();
    live->replacePathAsker([&](const TrendWindow::PathQuestion& question) {
        return question.kind == TrendWindow::PathQuestion::Kind::SavePicture ? QString() : path;
    });
    bench.find<QAbstractButton>(live, "saveRecordingButton")->click();
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    file.write("2026-12-07T09:00:00.000+01:00,measured_voltage_V,twelve,,,,,,,,,\n");
    file.close();
    bench.find<QAbstractButton>(live, "openRecordingButton")->click();

    QCOMPARE(bench.windows.fileWindows().size(), 1);
    auto* window = qobject_cast<TrendWindow*>(bench.windows.fileWindows().front());
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(),
             QStringLiteral("velmor-20261207-080000.csv - 趋势图 - Velmor电源监控-V3.5"));
    const QString note = bench.find<QLabel>(window, "noteLabel")->text();
    QVERIFY2(note.contains(QStringLiteral("1 行")), qPrintable(note));
    QVERIFY2(note.contains(QString::number(12 * 9 + 2)), qPrintable(note));
    QVERIFY(!bench.find<QAbstractButton>(window, "followButton")->isVisible());
    for (Quantity quantity : TrendLines::Plotted) {
        QCOMPARE(seriesPoints(window->chart().runs(quantity)),
                 seriesPoints(live->chart().runs(quantity)));
    }

    // Another file, another window; the live history is untouched.
    QVERIFY(bench.windows.openFile(path));
    QCOMPARE(bench.windows.fileWindows().size(), 2);
    window->close();
    QTRY_COMPARE(bench.windows.fileWindows().size(), 1);
    QCOMPARE(bench.history.points(Quantity::MeasuredVoltage).size(), size_t(12));
}

void TestTrendWindow::foreignFileGivesABoxAndNoWindow() {
    Bench bench;
    QTemporaryDir dir;
    QFile file(dir.filePath("notes.csv"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("a,b,c\n1,2,3\n");
    file.close();
    QVERIFY(!bench.windows.openFile(file.fileName()));
    QVERIFY(!bench.windows.openFile(dir.filePath("absent.csv")));
    QCOMPARE(bench.boxes.size(), 2);
    QVERIFY(bench.windows.fileWindows().isEmpty());
}

void TestTrendWindow::ctrlTOnThePanelShowsThePolledReadings() {
    PanelFixture panel;
    ScriptedSupply supply(*panel.comm);
    panel.open();
    for (int i = 0; i < 2 * 18; ++i) {
        panel.window->polling().SysTickTimer_Timer();
        QCoreApplication::processEvents();
    }
    panel.window->show();
    QApplication::setActiveWindow(panel.window.get());
    QVERIFY(QTest::qWaitForWindowActive(panel.window.get()));
    QTest::keyClick(panel.window.get(), Qt::Key_T, Qt::ControlModifier);
    auto* trend = panel.window->findChild<TrendWindow*>(QStringLiteral("TrendWindow"));
    QVERIFY(trend);
    QCOMPARE(panel.window->tools().trends().liveWindow(), static_cast<QWidget*>(trend));
    QVERIFY(trend->isVisible());
    QCOMPARE(trend->windowTitle(), QStringLiteral("趋势图 - Velmor电源监控-V3.5"));
    trend->setSpan(TrendWindow::Span::All);
    trend->refresh();
    // Two cycles: two measured voltages, as the decoder put them in the model.
    const QList<QPointF> points = seriesPoints(trend->chart().runs(Quantity::MeasuredVoltage));
    QCOMPARE(points.size(), 2);
    for (const QPointF& point : points)
        QCOMPARE(point.y(), 12.0);
    QCOMPARE(points, readings(panel.link.history(), Quantity::MeasuredVoltage));
    // The same entry is in the read-outs' menu.
    QVERIFY(panel.window->tools().menu().menu().actions().contains(
        panel.window->tools().trends().showAction()));
}

QTEST_MAIN(TestTrendWindow)
#include "test_trend_window.moc"
