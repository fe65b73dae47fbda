#pragma once

#include <QDialog>

#include <chrono>

class OutputTimer;
class QLabel;
class QSpinBox;

// "输出定时": the time after which the output is switched off, in hours,
// minutes and seconds. 开始 sets the timer (it counts once the output is
// on); 取消定时 cancels a timer that is set.
class OutputTimerDialog : public QDialog {
    Q_OBJECT
public:
    OutputTimerDialog(OutputTimer& timer, QWidget* parent);

    std::chrono::seconds chosen() const;
    void choose(std::chrono::seconds duration);
    // Sets the timer to the chosen time; false, with a note, when it is
    // refused.
    bool apply();
    QString noteText() const;

private:
    OutputTimer& timer_;
    QSpinBox* hours_;
    QSpinBox* minutes_;
    QSpinBox* seconds_;
    QLabel* note_;
};
