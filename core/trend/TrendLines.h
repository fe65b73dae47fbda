#pragma once

#include "supply/ReadingHistory.h"

#include <QList>
#include <QPointF>

#include <array>
#include <deque>
#include <optional>
#include <vector>

// What a trend chart of a reading history shows over a span of time, as
// points to draw: measured voltage and current as lines through the
// readings, the two setpoints as steps that hold each reading until the
// next, and the times the output was read off as boxes. A line never
// crosses a link event (port closed, polling stopped...): each run of
// readings between two events is a line of its own. Only the readings in
// view and one on either side are taken, and of those no more than the
// plot's pixel columns can show, so that drawing costs what is shown.
class TrendLines {
public:
    static constexpr std::array<Quantity, 4> Plotted = {Quantity::MeasuredVoltage,
                                                        Quantity::MeasuredCurrent,
                                                        Quantity::SetVoltage, Quantity::SetCurrent};
    static bool isVoltage(Quantity quantity) {
        return quantity == Quantity::MeasuredVoltage || quantity == Quantity::SetVoltage;
    }
    static bool isStep(Quantity quantity) {
        return quantity == Quantity::SetVoltage || quantity == Quantity::SetCurrent;
    }

    // Readings between two link events: [begin, end) of a quantity's
    // points, and how long the last one is known to hold: until the next
    // event, or the latest thing the history knows of.
    struct Run {
        size_t begin;
        size_t end;
        qint64 holdUntil;
    };
    // A value axis: its range and how many ticks at round values; ticks 0
    // when no round step fits and the axis places its own.
    struct Axis {
        double low = 0.0;
        double high = 1.0;
        int ticks = 0;
    };
    struct Frame {
        // For each plotted quantity, in the order of Plotted, one line per run.
        std::array<QList<QList<QPointF>>, Plotted.size()> lines;
        // The edge of the output-off boxes, of height 1.
        QList<QPointF> outputOff;
        Axis volts;
        Axis amps;
        // Measured power, one line per run; empty unless asked for.
        QList<QList<QPointF>> power;
        Axis watts;
    };

    // Everything shown of the history between the two times (ms since the
    // epoch) on a plot the given number of pixel columns wide, with the
    // measured power when asked for.
    static Frame frame(const ReadingHistory& history, qint64 from, qint64 to, int columns,
                       bool withPower = false);

    // The measured power around [from, to]: at each reading of the measured
    // voltage or current, its product with the latest reading of the other
    // quantity in force with it. A link event ends what is in force, so a
    // power is never made of readings from two sides of one.
    static std::deque<ReadingHistory::Point> powerPoints(const ReadingHistory& history, qint64 from,
                                                         qint64 to);

    // The runs of readings that bear on [from, to]: those inside and the
    // nearest one on either side, so that lines enter and leave the view.
    // Past a few hundred runs (only a damaged or forged recording has so
    // many events) the rest are one.
    static std::vector<Run> runsInView(const std::deque<ReadingHistory::Point>& points,
                                       const std::deque<ReadingHistory::Event>& events,
                                       qint64 latest, qint64 from, qint64 to);
    static constexpr size_t MaxRuns = 200;

    // A setpoint holds from one reading to the next: corners only where it
    // changed, then on to the end of what is known.
    static QList<QPointF> sampleAndHold(const std::deque<ReadingHistory::Point>& points,
                                        const Run& run);
    // With more points in view than twice the pixel columns, each column
    // keeps its lowest and highest point, in time order, and the line its
    // first and last.
    static QList<QPointF> thin(const QList<QPointF>& line, double from, double to, int columns);
    // Ticks at a round step (1, 2, 2.5 or 5 times a power of ten), at most
    // seven of them, the range widened to whole steps.
    static Axis roundAxis(double low, double high);

    // The reading nearest in time to t among those inside [from, to].
    static std::optional<ReadingHistory::Point>
    nearest(const std::deque<ReadingHistory::Point>& points, qint64 t, qint64 from, qint64 to);
};
