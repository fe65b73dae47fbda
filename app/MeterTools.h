#pragma once

#include <QObject>

class AboutDialog;
class MessageLine;
class MeterWindow;
class OutputTimerDialog;
class QAction;
class QWidget;
class ReadoutMenu;
class RunController;

// The meter, the output timer and "关于" on the panel: "能量计" (Ctrl+M) and
// "输出定时…" (Ctrl+Shift+T) in the read-out menu open their windows, and
// "关于…" (F1) its box. The timer running out is said on the message line.
class MeterTools : public QObject {
    Q_OBJECT
public:
    MeterTools(QWidget& window, RunController& controller, ReadoutMenu& menu, MessageLine& message);

    QAction* showMeterAction() const { return showMeter_; }
    QAction* showTimerAction() const { return showTimer_; }

    MeterWindow* showMeter();
    OutputTimerDialog* showTimer();
    AboutDialog* showAbout();

private:
    QWidget& window_;
    RunController& controller_;
    QAction* showMeter_;
    QAction* showTimer_;
    MeterWindow* meterWindow_ = nullptr;
    OutputTimerDialog* timerDialog_ = nullptr;
    AboutDialog* about_ = nullptr;
};
