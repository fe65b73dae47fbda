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
class TrendChart : public QChart {
    Q_OBJECT
public:
    TrendChart();

    // Shows the history between the two times (ms since the epoch).
    void plot(const ReadingHistory& history, qint64 from, qint64 to);

    // One series per run of readings between link events.
    const QList<QLineSeries*>& runs(Quantity quantity) const;
    QAreaSeries* outputOff() const { return outputOff_; }
    QDateTimeAxis* timeAxis() const { return timeAxis_; }
    QValueAxis* voltAxis() const { return voltAxis_; }
    QValueAxis* ampAxis() const { return ampAxis_; }

    // The name shown for a plotted quantity or the output.
    static QString quantityName(Quantity quantity);

private:
    struct Line {
        Quantity quantity;
        QList<QLineSeries*> runs;
    };

    void addLegendEntry(Quantity quantity);
    QPen pen(Quantity quantity) const;
    void matchRunCount(Line& line, qsizetype count);
    void setTimeRange(qint64 from, qint64 to);

    std::array<Line, TrendLines::Plotted.size()> lines_;
    QAreaSeries* outputOff_;
    QLineSeries* outputOffEdge_;
    QDateTimeAxis* timeAxis_;
    QValueAxis* voltAxis_;
    QValueAxis* ampAxis_;
    QValueAxis* shadeAxis_;
};
