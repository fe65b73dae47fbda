#pragma once

#include "trend/TrendLines.h"

#include <QChart>
#include <QList>

#include <array>

class QAreaSeries;
class QDateTimeAxis;
class QLineSeries;
class QValueAxis;

// The chart of a reading history over a span of time: draws what TrendLines
// makes of it, measured values as solid lines, setpoints dashed, volts on
// the left axis, amperes on the right, and the times the output was read off
// shaded. Each run of readings between two link events is a series of its own.
// The measured power, on an axis of its own, is drawn only once asked for.
class TrendChart : public QChart {
    Q_OBJECT
public:
    TrendChart();

    // Shows the history between the two times (ms since the epoch).
    void plot(const ReadingHistory& history, qint64 from, qint64 to);

    // One series per run of readings between link events.
    const QList<QLineSeries*>& runs(Quantity quantity) const;
    const QList<QLineSeries*>& powerRuns() const { return power_.runs; }
    // Shown from the next plot on; hidden at first.
    void setPowerShown(bool shown);
    bool powerShown() const { return powerShown_; }
    QAreaSeries* outputOff() const { return outputOff_; }
    QDateTimeAxis* timeAxis() const { return timeAxis_; }
    QValueAxis* voltAxis() const { return voltAxis_; }
    QValueAxis* ampAxis() const { return ampAxis_; }
    QValueAxis* wattAxis() const { return wattAxis_; }

    // The name shown for a plotted quantity or the output.
    static QString quantityName(Quantity quantity);
    static QString powerName();

private:
    struct Line {
        QPen pen;
        QValueAxis* axis;
        QList<QLineSeries*> runs;
    };

    Line lineOf(Quantity quantity) const;
    QLineSeries* addLegendEntry(const QString& name, const Line& line);
    static QPen pen(Quantity quantity);
    void matchRunCount(Line& line, qsizetype count);
    void setTimeRange(qint64 from, qint64 to);

    QDateTimeAxis* timeAxis_;
    QValueAxis* voltAxis_;
    QValueAxis* ampAxis_;
    QValueAxis* wattAxis_;
    QValueAxis* shadeAxis_;
    std::array<Line, TrendLines::Plotted.size()> lines_;
    Line power_;
    QLineSeries* powerEntry_ = nullptr;
    bool powerShown_ = false;
    QAreaSeries* outputOff_;
    QLineSeries* outputOffEdge_;
};
