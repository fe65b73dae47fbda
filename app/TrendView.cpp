#include "TrendView.h"

#include <QMouseEvent>
#include <QWheelEvent>

#include <cmath>

namespace {

// One notch of the wheel (120 eighths of a degree) shows a fifth less or
// a quarter more.
constexpr double NotchZoom = 0.8;

} // namespace

TrendView::TrendView(QChart* chart, QWidget* parent) : QChartView(chart, parent) {
    setRenderHint(QPainter::Antialiasing);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
}

std::optional<double> TrendView::across(const QPointF& pos) const {
    const QRectF plot = chart()->plotArea();
    const QPointF scene = mapToScene(pos.toPoint());
    if (plot.width() <= 0 || !plot.contains(scene))
        return std::nullopt;
    return (scene.x() - plot.left()) / plot.width();
}

double TrendView::plotWidth() const {
    return chart()->plotArea().width();
}

void TrendView::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    const auto at = across(event->position());
    if (delta == 0 || !at) {
        event->ignore();
        return;
    }
    emit zoomRequested(std::pow(NotchZoom, delta / 120.0), *at);
    event->accept();
}

void TrendView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && across(event->position())) {
        dragX_ = event->position().x();
        event->accept();
        return;
    }
    QChartView::mousePressEvent(event);
}

void TrendView::mouseMoveEvent(QMouseEvent* event) {
    if (dragX_) {
        const double x = event->position().x();
        if (plotWidth() > 0 && x != *dragX_)
            emit panRequested((*dragX_ - x) / plotWidth());
        dragX_ = x;
        event->accept();
        return;
    }
    if (const auto at = across(event->position()))
        emit hovered(*at, event->globalPosition().toPoint());
    else
        emit hoverLeft();
    QChartView::mouseMoveEvent(event);
}

void TrendView::mouseReleaseEvent(QMouseEvent* event) {
    if (dragX_ && event->button() == Qt::LeftButton) {
        dragX_.reset();
        event->accept();
        return;
    }
    QChartView::mouseReleaseEvent(event);
}

void TrendView::leaveEvent(QEvent* event) {
    emit hoverLeft();
    QChartView::leaveEvent(event);
}
