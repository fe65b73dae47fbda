#pragma once

#include <QChartView>

#include <optional>

// The view of a trend chart that turns the mouse into requests in terms of
// the plot area's width: a wheel turn zooms around the pointer, a drag with
// the left button pans, and a pointer resting over the plot asks for what
// lies under it. What the requests do is the window's business.
class TrendView : public QChartView {
    Q_OBJECT
public:
    explicit TrendView(QChart* chart, QWidget* parent = nullptr);

signals:
    // factor > 1 widens the view; at is where the pointer stands, 0 at the
    // plot's left edge and 1 at its right.
    void zoomRequested(double factor, double at);
    // By this share of the plot's width; positive moves towards later times.
    void panRequested(double share);
    void hovered(double at, const QPoint& globalPos);
    void hoverLeft();

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // Where x (in view coordinates) falls across the plot area; nothing
    // outside it.
    std::optional<double> across(const QPointF& pos) const;
    double plotWidth() const;

    std::optional<double> dragX_;
};
