#include "TrendChart.h"

#include <QAreaSeries>
#include <QDateTimeAxis>
#include <QLegendMarker>
#include <QLineSeries>
#include <QValueAxis>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

const QColor kVoltColour(0xc6, 0x28, 0x28);
const QColor kAmpColour(0x15, 0x65, 0xc0);
const QColor kPowerColour(0x2e, 0x7d, 0x32);
const QColor kOffColour(0x80, 0x80, 0x80, 0x40);

constexpr qint64 MinuteMs = 60 * 1000;
constexpr qint64 DayMs = 24 * 60 * MinuteMs;

} // namespace

TrendChart::TrendChart()
    : timeAxis_(new QDateTimeAxis), voltAxis_(new QValueAxis), ampAxis_(new QValueAxis),
      wattAxis_(new QValueAxis), shadeAxis_(new QValueAxis), lines_{lineOf(TrendLines::Plotted[0]),
                                                                    lineOf(TrendLines::Plotted[1]),
                                                                    lineOf(TrendLines::Plotted[2]),
                                                                    lineOf(TrendLines::Plotted[3])},
      power_{QPen(kPowerColour, 1), wattAxis_, {}}, outputOff_(new QAreaSeries),
      outputOffEdge_(new QLineSeries(this)) {
    power_.pen.setCosmetic(true);
    legend()->setAlignment(Qt::AlignBottom);
    // Lines in the legend as in the plot: solid, dashed, the shading's box.
    legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
    setMargins(QMargins(4, 4, 4, 4));

    timeAxis_->setTitleText(tr("时间"));
    timeAxis_->setTickCount(7);
    voltAxis_->setTitleText(tr("电压 (V)"));
    ampAxis_->setTitleText(tr("电流 (A)"));
    wattAxis_->setTitleText(tr("功率 (W)"));
    for (auto [axis, colour] :
         {std::pair{voltAxis_, kVoltColour}, {ampAxis_, kAmpColour}, {wattAxis_, kPowerColour}}) {
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
    addAxis(wattAxis_, Qt::AlignRight);
    addAxis(shadeAxis_, Qt::AlignRight);
    // One grid, the volts': a second one at the amperes' ticks only clutters.
    // Cosmetic pens take the raster engine's fast path for thin lines.
    ampAxis_->setGridLineVisible(false);
    wattAxis_->setGridLineVisible(false);
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

    for (Quantity quantity : TrendLines::Plotted)
        addLegendEntry(quantityName(quantity), lineOf(quantity));
    powerEntry_ = addLegendEntry(powerName(), power_);
    for (QValueAxis* axis : {voltAxis_, ampAxis_, wattAxis_})
        axis->setRange(0, 1);
    setPowerShown(false);
}

void TrendChart::setPowerShown(bool shown) {
    powerShown_ = shown;
    wattAxis_->setVisible(shown);
    powerEntry_->setVisible(shown);
    for (QLegendMarker* marker : legend()->markers(powerEntry_))
        marker->setVisible(shown);
}

QString TrendChart::powerName() {
    return tr("测量功率");
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

TrendChart::Line TrendChart::lineOf(Quantity quantity) const {
    return {pen(quantity), TrendLines::isVoltage(quantity) ? voltAxis_ : ampAxis_, {}};
}

QLineSeries* TrendChart::addLegendEntry(const QString& name, const Line& line) {
    // The runs come and go with the view; an empty series of the same look
    // stands for them in the legend.
    auto* entry = new QLineSeries;
    entry->setName(name);
    entry->setPen(line.pen);
    addSeries(entry);
    entry->attachAxis(timeAxis_);
    entry->attachAxis(line.axis);
    return entry;
}

QPen TrendChart::pen(Quantity quantity) {
    QPen pen(TrendLines::isVoltage(quantity) ? kVoltColour : kAmpColour);
    pen.setWidth(1);
    pen.setCosmetic(true);
    if (TrendLines::isStep(quantity))
        pen.setStyle(Qt::DashLine);
    return pen;
}

const QList<QLineSeries*>& TrendChart::runs(Quantity quantity) const {
    const auto it = std::find(TrendLines::Plotted.begin(), TrendLines::Plotted.end(), quantity);
    Q_ASSERT(it != TrendLines::Plotted.end());
    return lines_[size_t(it - TrendLines::Plotted.begin())].runs;
}

void TrendChart::plot(const ReadingHistory& history, qint64 from, qint64 to) {
    // Before the first layout the plot has no width yet: assume a wide one.
    const int columns = plotArea().width() > 0 ? int(plotArea().width()) : 1000;
    const TrendLines::Frame frame = TrendLines::frame(history, from, to, columns, powerShown_);

    // Qt Charts lays a series out again on every change of its points and
    // of its axes' ranges. The series about to change are emptied first, so
    // that the ranges move over the others only, and each is laid out once.
    std::vector<std::pair<QXYSeries*, const QList<QPointF>*>> refill;
    const auto emptyChanged = [&](Line& line, const QList<QList<QPointF>>& drawn) {
        matchRunCount(line, drawn.size());
        for (qsizetype k = 0; k < drawn.size(); ++k) {
            QLineSeries* series = line.runs[k];
            // A lone reading draws no line: its mark shows it.
            series->setPointsVisible(drawn[k].size() == 1);
            if (series->points() != drawn[k]) {
                series->clear();
                refill.emplace_back(series, &drawn[k]);
            }
        }
    };
    for (size_t i = 0; i < lines_.size(); ++i)
        emptyChanged(lines_[i], frame.lines[i]);
    emptyChanged(power_, frame.power);
    if (outputOffEdge_->points() != frame.outputOff) {
        outputOffEdge_->clear();
        refill.emplace_back(outputOffEdge_, &frame.outputOff);
    }
    setTimeRange(from, to);
    for (auto [axis, range] :
         {std::pair{voltAxis_, frame.volts}, {ampAxis_, frame.amps}, {wattAxis_, frame.watts}}) {
        axis->setRange(range.low, range.high);
        if (range.ticks > 0)
            axis->setTickCount(range.ticks);
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
        series->setPen(line.pen);
        addSeries(series);
        series->attachAxis(timeAxis_);
        series->attachAxis(line.axis);
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
