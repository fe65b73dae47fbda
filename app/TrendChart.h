#pragma once

#include "supply/ReadingHistory.h"

#include <QChart>
#include <QList>

#include <array>

class QAreaSeries;
class QDateTimeAxis;
class QLineSeries;
class QValueAxis;

// The chart of a reading history over a span of time: measured voltage and
// current as lines through the readings, the two setpoints as dashed steps
// that hold each reading until the next, volts on the left axis, amperes on
// the right, and the times the output was read off shaded. A line never
// crosses a link event (port closed, polling stopped...): each run of
// readings between two events is a series of its own. Only the readings in
// view and one on either side are handed to the series, so that drawing
// costs what is shown, and of those no more than the plot's width can show.
class TrendChart : public QChart {
    Q_OBJECT
public:
    static constexpr std::array<Quantity, 4> Plotted = {Quantity::MeasuredVoltage,
                                                        Quantity::MeasuredCurrent,
                                                        Quantity::SetVoltage, Quantity::SetCurrent};

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
    static bool isVoltage(Quantity quantity) {
        return quantity == Quantity::MeasuredVoltage || quantity == Quantity::SetVoltage;
    }
    static bool isStep(Quantity quantity) {
        return quantity == Quantity::SetVoltage || quantity == Quantity::SetCurrent;
    }

private:
    struct Line {
        Quantity quantity;
        QList<QLineSeries*> runs;
    };

    void addLegendEntry(Quantity quantity);
    QPen pen(Quantity quantity) const;
    void matchRunCount(Line& line, qsizetype count);
    void setTimeRange(qint64 from, qint64 to);

    std::array<Line, Plotted.size()> lines_;
    QAreaSeries* outputOff_;
    QLineSeries* outputOffEdge_;
    QDateTimeAxis* timeAxis_;
    QValueAxis* voltAxis_;
    QValueAxis* ampAxis_;
    QValueAxis* shadeAxis_;
};
