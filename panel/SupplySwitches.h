#pragma once

#include <QtGlobal>

class CommandSender;
struct Controls;
struct PanelState;

// The output switch, the tracking-mode and channel options and the alarm
// clear: each sends one fixed command and leaves the reading-back to the
// polling cycle.
class SupplySwitches {
public:
    SupplySwitches(PanelState& state, Controls& ui, CommandSender& sender);

    void OutPutButton_Click();
    void INDcmd_Click();
    void PARcmd_Click();
    void SERcmd_Click();
    void OP1_Click();
    void Op2_Click();
    void ClrAlarmAmd_Click();

private:
    void selectMode(qint16 mode);
    void selectChannel(qint16 channel);

    PanelState& state_;
    Controls& ui_;
    CommandSender& sender_;
};
