#pragma once

#include <QString>

class QLabel;
struct PanelState;

// The red line under the read-outs that tells the operator for about twenty
// seconds why an action did not happen.
class MessageLine {
public:
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
