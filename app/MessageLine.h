#pragma once

#include <QString>

class QLabel;
struct PanelState;

// The red line under the read-outs that tells the operator for about twenty
// seconds why an action did not happen.
class MessageLine {
public:
    static const QString PortClosed;  // "串口没有打开，请打开串口"
    static const QString PortMissing; // "没有发现此串口或被占用"
    // Ticks of TmrAutoSend a message stays.
    static constexpr qint16 Lifetime = 10;

    MessageLine(PanelState& state, QLabel& msgLab);

    void show(const QString& text);
    // Empties the line at once without touching the countdown.
    void clearNow();
    void TmrAutoSend_Timer();

private:
    PanelState& state_;
    QLabel& msgLab_;
};
