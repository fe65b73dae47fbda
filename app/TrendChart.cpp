#include "TrendChart.h"

#include <QAreaSeries>
#include <QDateTimeAxis>
#include <QLegendMarker>
#include <QLineSeries>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

namespace {

using Point = ReadingHistory::Point;
using Event = ReadingHistory::Event;

const QColor kVoltColour(0xc6, 0x28, 0x28);
const QColor kAmpColour(0x15, 0x65, 0xc0);
const QColor kOffColour(0x80, 0x80, 0x80, 0x40);

constexpr qint64 MinuteMs = 60 * 1000;
constexpr qint64 DayMs = 24 * 60 * MinuteMs;
constexpr size_t MaxRuns = 200;

// Readings between two link events: [begin, end) of a quantity's points,
// and how long the last one is known to hold: until the next event, or
// the latest thing the history knows of.
struct Run {
    size_t begin;
    size_t end;
    qint64 holdUntil;
};

// The runs of readings that bear on [from, to]: those inside and the
// nearest one on either side, so that lines enter and leave the view.
std::vector<Run> runsInView(const std::deque<Point>& points, const std::deque<Event>& events,
                            qint64 latest, qint64 from, qint64 to) {
    const auto byTime = [](const Point& p, qint64 t) { return p.msecs < t; };
    const auto beforeTime = [](qint64 t, const Point& p) { return t < p.msecs; };
    size_t lo =
        size_t(std::lower_bound(points.begin(), points.end(), from, byTime) - points.begin());
    size_t hi =
        size_t(std::upper_bound(points.begin(), points.end(), to, beforeTime) - points.begin());
    if (lo > 0)
        --lo;
    if (hi < points.size())
        ++hi;
    std::vector<Run> runs;
    size_t i = lo;
    while (i < hi) {
        // A reading of the same millisecond as an event came before it.
        const qint64 t = points[i].msecs;
        const auto next = std::lower_bound(events.begin(), events.end(), t,
                                           [](const Event& e, qint64 at) { return e.msecs < at; });
        const std::optional<qint64> cut =
            next == events.end() ? std::nullopt : std::optional<qint64>(next->msecs);
        // Past a few hundred runs (only a damaged or forged recording has so
        // many events) the rest are drawn as one, so the series stay few.
        const bool last = runs.size() + 1 == MaxRuns;
        size_t j = last ? hi : i + 1;
        while (j < hi && (!cut || points[j].msecs <= *cut))
            ++j;
        qint64 hold = cut ? *cut : latest;
        if (last || (j == hi && hi < points.size() && (!cut || points[hi].msecs <= *cut)))
            hold = points[j - 1].msecs;
        runs.push_back({i, j, std::max(hold, points[j - 1].msecs)});
        i = j;
    }
    return runs;
}

QList<QPointF> throughReadings(const std::deque<Point>& points, const Run& run) {
    QList<QPointF> line;
    line.reserve(qsizetype(run.end - run.begin));
    for (size_t k = run.begin; k < run.end; ++k)
        line << QPointF(double(points[k].msecs), points[k].value);
    return line;
}

// A setpoint holds from one reading to the next: corners only where it
// changed, then on to the end of what is known.
QList<QPointF> steps(const std::deque<Point>& points, const Run& run) {
    QList<QPointF> line;
    double value = points[run.begin].value;
    line << QPointF(double(points[run.begin].msecs), value);
    for (size_t k = run.begin + 1; k < run.end; ++k) {
        if (points[k].value == value)
            continue;
        const double t = double(points[k].msecs);
        line << QPointF(t, value) << QPointF(t, points[k].value);
        value = points[k].value;
    }
    if (double(run.holdUntil) > line.back().x())
        line << QPointF(double(run.holdUntil), value);
    return line;
}

// Each stretch from a reading of "off" to the next reading of the output
// (or the end of the run) as a box of height 1 on the hidden shading axis.
QList<QPointF> offBoxes(const ReadingHistory& history, qint64 from, qint64 to) {
    const auto& points = history.points(Quantity::Output);
    QList<QPointF> edge;
    for (const Run& run : runsInView(points, history.events(), history.lastMsecs(), from, to)) {
        bool off = false;
        qint64 since = 0;
        const auto close = [&](qint64 at) {
            edge << QPointF(double(since), 0) << QPointF(double(since), 1) << QPointF(double(at), 1)
                 << QPointF(double(at), 0);
            off = false;
        };
        for (size_t k = run.begin; k < run.end; ++k) {
            const bool readOff = points[k].value == 0.0;
            if (readOff && !off) {
                off = true;
                since = points[k].msecs;
            } else if (!readOff && off) {
                close(points[k].msecs);
            }
        }
        if (off)
            close(run.holdUntil);
    }
    return edge;
}

// The least and greatest value the lines take inside [from, to], a segment
// cut at the view's edges counting with its value there.
void extend(const QList<QPointF>& line, double from, double to, std::optional<double>& low,
            std::optional<double>& high) {
    const auto take = [&](double y) {
        low = low ? std::min(*low, y) : y;
        high = high ? std::max(*high, y) : y;
    };
    // Weighted rather than by the difference, which overflows for the
    // largest doubles.
    const auto at = [](const QPointF& a, const QPointF& b, double x) {
        if (b.x() == a.x())
            return b.y();
        const double f = (x - a.x()) / (b.x() - a.x());
        return a.y() * (1 - f) + b.y() * f;
    };
    for (qsizetype k = 0; k < line.size(); ++k) {
        const QPointF& p = line[k];
        if (p.x() >= from && p.x() <= to)
            take(p.y());
        if (k + 1 == line.size())
            break;
        const QPointF& q = line[k + 1];
        if (p.x() < from && q.x() >= from)
            take(at(p, q, from));
        if (p.x() <= to && q.x() > to)
            take(at(p, q, to));
    }
}

// Ticks at a round step (1, 2, 2.5 or 5 times a power of ten), at most
// seven of them, the range widened to whole steps. Qt's own rounding may
// double a range; this one widens it by less than two steps.
void setNiceRange(QValueAxis* axis, double low, double high) {
    constexpr int MaxTicks = 7;
    const double raw = (high - low) / (MaxTicks - 1);
    if (!std::isfinite(raw) || raw <= 0.0) {
        axis->setRange(low, high);
        return;
    }
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    double step = 10 * magnitude;
    for (double m : {1.0, 2.0, 2.5, 5.0}) {
        if (m * magnitude >= raw) {
            step = m * magnitude;
            break;
        }
    }
    const double bottom = std::floor(low / step) * step;
    const double top = std::ceil(high / step) * step;
    if (!std::isfinite(bottom) || !std::isfinite(top)) {
        axis->setRange(low, high);
        return;
    }
    axis->setRange(bottom, top);
    axis->setTickCount(int(std::lround((top - bottom) / step)) + 1);
}

// With more points in view than twice the plot's pixel columns, each
// column keeps its lowest and highest point, in time order, and the line its
// first and last: the line still spans the same height in every column, so
// it looks the same to within a pixel; every point kept is a reading; and
// laying out and drawing cost what the plot's width allows rather than what
// the history holds.
QList<QPointF> thin(const QList<QPointF>& line, double from, double to, int columns) {
    if (line.size() <= 2 * qsizetype(columns) || to <= from)
        return line;
    const double scale = columns / (to - from);
    const auto column = [&](const QPointF& p) { return std::floor((p.x() - from) * scale); };
    QList<QPointF> kept;
    kept.reserve(2 * qsizetype(columns) + 4);
    qsizetype k = 0;
    while (k < line.size()) {
        const double c = column(line[k]);
        qsizetype lowest = k;
        qsizetype highest = k;
        qsizetype end = k + 1;
        for (; end < line.size() && column(line[end]) == c; ++end) {
            if (line[end].y() < line[lowest].y())
                lowest = end;
            if (line[end].y() > line[highest].y())
                highest = end;
        }
        kept << line[std::min(lowest, highest)];
        if (lowest != highest)
            kept << line[std::max(lowest, highest)];
        k = end;
    }
    // The line starts and ends where its readings do: the latest one is
    // the live end of the plot.
    if (kept.front() != line.front())
        kept.prepend(line.front());
    if (kept.back() != line.back())
        kept << line.back();
    return kept;
}

} // namespace

TrendChart::TrendChart()
    : lines_{Line{Plotted[0], {}}, Line{Plotted[1], {}}, Line{Plotted[2], {}},
             Line{Plotted[3], {}}},
      outputOff_(new QAreaSeries), outputOffEdge_(new QLineSeries(this)),
      timeAxis_(new QDateTimeAxis), voltAxis_(new QValueAxis), ampAxis_(new QValueAxis),
      shadeAxis_(new QValueAxis) {
    legend()->setAlignment(Qt::AlignBottom);
    // Lines in the legend as in the plot: solid, dashed, the shading's box.
    legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
    setMargins(QMargins(4, 4, 4, 4));

    timeAxis_->setTitleText(tr("时间"));
    timeAxis_->setTickCount(7);
    voltAxis_->setTitleText(tr("电压 (V)"));
    ampAxis_->setTitleText(tr("电流 (A)"));
    for (auto [axis, colour] : {std::pair{voltAxis_, kVoltColour}, {ampAxis_, kAmpColour}}) {
        axis->setLabelsColor(colour);
        axis->setTitleBrush(colour);
        axis->setLinePenColor(colour);
        axis->setLabelFormat(QStringLiteral("%.4g"));
    }
    // Qt Charts fits a vertical axis's title into the width its labels
    // leave: one-digit volt labels ("6") left no room and "电压 (V)" was
    // elided whole. Labels that keep their trailing zeros ("6.000") do.
    voltAxis_->setLabelFormat(QStringLiteral("%#.4g"));
    shadeAxis_->setRange(0, 1);
    shadeAxis_->setVisible(false);
    shadeAxis_->setGridLineVisible(false);
    addAxis(timeAxis_, Qt::AlignBottom);
    addAxis(voltAxis_, Qt::AlignLeft);
    addAxis(ampAxis_, Qt::AlignRight);
    addAxis(shadeAxis_, Qt::AlignRight);
    // One grid, the volts': a second one at the amperes' ticks only clutters.
    // Cosmetic pens take the raster engine's fast path for thin lines.
    ampAxis_->setGridLineVisible(false);
    for (QAbstractAxis* axis :
         {static_cast<QAbstractAxis*>(timeAxis_), static_cast<QAbstractAxis*>(voltAxis_)}) {
        QPen grid = axis->gridLinePen();
        grid.setCosmetic(true);
        axis->setGridLinePen(grid);
    }

    outputOff_->setUpperSeries(outputOffEdge_);
    outputOff_->setName(tr("输出关闭"));
    outputOff_->setColor(kOffColour);
    outputOff_->setBorderColor(Qt::transparent);
    addSeries(outputOff_);
    outputOff_->attachAxis(timeAxis_);
    outputOff_->attachAxis(shadeAxis_);

    for (Quantity quantity : Plotted)
        addLegendEntry(quantity);
    voltAxis_->setRange(0, 1);
    ampAxis_->setRange(0, 1);
}

QString TrendChart::quantityName(Quantity quantity) {
    switch (quantity) {
    case Quantity::MeasuredVoltage:
        return tr("测量电压");
    case Quantity::MeasuredCurrent:
        return tr("测量电流");
    case Quantity::SetVoltage:
        return tr("设定电压");
    case Quantity::SetCurrent:
        return tr("设定电流");
    default:
        return tr("输出");
    }
}

void TrendChart::addLegendEntry(Quantity quantity) {
    // The runs come and go with the view; an empty series of the same look
    // stands for them in the legend.
    auto* entry = new QLineSeries;
    entry->setName(quantityName(quantity));
    entry->setPen(pen(quantity));
    addSeries(entry);
    entry->attachAxis(timeAxis_);
    entry->attachAxis(isVoltage(quantity) ? voltAxis_ : ampAxis_);
}

QPen TrendChart::pen(Quantity quantity) const {
    QPen pen(isVoltage(quantity) ? kVoltColour : kAmpColour);
    pen.setWidth(1);
    pen.setCosmetic(true);
    if (isStep(quantity))
        pen.setStyle(Qt::DashLine);
    return pen;
}

const QList<QLineSeries*>& TrendChart::runs(Quantity quantity) const {
    const auto it = std::find_if(lines_.begin(), lines_.end(), [quantity](const Line& line) {
        return line.quantity == quantity;
    });
    Q_ASSERT(it != lines_.end());
    return it->runs;
}

void TrendChart::plot(const ReadingHistory& history, qint64 from, qint64 to) {
    // Before the first layout the plot has no width yet: assume a wide one.
    const int columns = plotArea().width() > 0 ? int(plotArea().width()) : 1000;
    std::optional<double> low[2];
    std::optional<double> high[2];
    std::array<QList<QList<QPointF>>, Plotted.size()> drawn;
    for (size_t i = 0; i < lines_.size(); ++i) {
        const Quantity quantity = lines_[i].quantity;
        const auto& points = history.points(quantity);
        for (const Run& run : runsInView(points, history.events(), history.lastMsecs(), from, to)) {
            const QList<QPointF> line =
                isStep(quantity) ? steps(points, run) : throughReadings(points, run);
            drawn[i] << thin(line, double(from), double(to), columns);
            const int side = isVoltage(quantity) ? 0 : 1;
            extend(drawn[i].back(), double(from), double(to), low[side], high[side]);
        }
    }
    const QList<QPointF> off = offBoxes(history, from, to);

    // Qt Charts lays a series out again on every change of its points and
    // of its axes' ranges. The series about to change are emptied first, so
    // that the ranges move over the others only, and each is laid out once.
    std::vector<std::pair<QXYSeries*, const QList<QPointF>*>> refill;
    for (size_t i = 0; i < lines_.size(); ++i) {
        matchRunCount(lines_[i], drawn[i].size());
        for (qsizetype k = 0; k < drawn[i].size(); ++k) {
            QLineSeries* series = lines_[i].runs[k];
            // A lone reading draws no line: its mark shows it.
            series->setPointsVisible(drawn[i][k].size() == 1);
            if (series->points() != drawn[i][k]) {
                series->clear();
                refill.emplace_back(series, &drawn[i][k]);
            }
        }
    }
    if (outputOffEdge_->points() != off) {
        outputOffEdge_->clear();
        refill.emplace_back(outputOffEdge_, &off);
    }
    setTimeRange(from, to);
    for (int side = 0; side < 2; ++side) {
        QValueAxis* axis = side == 0 ? voltAxis_ : ampAxis_;
        if (!low[side]) {
            axis->setRange(0, 1);
            continue;
        }
        // A margin of a twelfth of the range (of a tenth of the value for a
        // flat line) keeps the lines off the frame; values that are never
        // negative keep a floor at zero.
        const double lo = *low[side];
        const double hi = *high[side];
        // Halves first: the span of the largest doubles would overflow.
        const double pad = hi > lo ? (hi / 2 - lo / 2) / 6.0 : std::max(std::abs(hi) / 10.0, 1e-3);
        const double bottom = lo >= 0.0 ? std::max(0.0, lo - pad) : lo - pad;
        const double top = hi + pad;
        if (std::isfinite(bottom) && std::isfinite(top))
            setNiceRange(axis, bottom, top);
        else
            axis->setRange(std::min(lo, 0.0), std::max(hi, 0.0));
    }
    for (const auto& [series, points] : refill)
        series->replace(*points);
}

void TrendChart::matchRunCount(Line& line, qsizetype count) {
    while (line.runs.size() > count) {
        QLineSeries* series = line.runs.takeLast();
        removeSeries(series);
        delete series;
    }
    while (line.runs.size() < count) {
        auto* series = new QLineSeries;
        series->setPen(pen(line.quantity));
        addSeries(series);
        series->attachAxis(timeAxis_);
        series->attachAxis(isVoltage(line.quantity) ? voltAxis_ : ampAxis_);
        for (QLegendMarker* marker : legend()->markers(series))
            marker->setVisible(false);
        line.runs << series;
    }
}

void TrendChart::setTimeRange(qint64 from, qint64 to) {
    const qint64 width = to - from;
    timeAxis_->setFormat(width <= 10 * MinuteMs ? QStringLiteral("HH:mm:ss")
                         : width <= DayMs / 2   ? QStringLiteral("HH:mm")
                                                : QStringLiteral("MM-dd HH:mm"));
    timeAxis_->setRange(QDateTime::fromMSecsSinceEpoch(from), QDateTime::fromMSecsSinceEpoch(to));
}
