#pragma once

#include <QTimer>
#include <QWidget>

#include <chrono>

class EnergyMeter;
class OutputTimer;
class QLabel;
class QPushButton;

// "能量计": the power drawn, the energy and charge delivered and the time the
// output was on since start or the last 清零, and the output timer's time
// left. A window of its own that belongs to the main window; it shows the
// meter's values as they change and counts the timer down every second.
class MeterWindow : public QWidget {
    Q_OBJECT
public:
    MeterWindow(EnergyMeter& meter, OutputTimer& timer, QWidget* parent);

    // "1:02:03" for hours, minutes and seconds.
    static QString durationText(std::chrono::seconds duration);
    QString timerText() const;

signals:
    // "输出定时…" was pressed.
    void timerAsked();

private:
    void showMeter();
    void showTimer();

    EnergyMeter& meter_;
    OutputTimer& timer_;
    QLabel* power_;
    QLabel* energy_;
    QLabel* charge_;
    QLabel* onTime_;
    QLabel* timerLeft_;
    QTimer countdown_;
};
