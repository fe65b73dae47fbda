#pragma once

#include <QString>

class CommandSender;
class MessageBoxes;
class QLineEdit;
struct Controls;
struct PanelState;

// The four set buttons: each tests its entry against its limits, sends one
// set command and moves the polling step to the query that reads the same
// quantity back.
class SetpointCommands {
public:
    SetpointCommands(PanelState& state, Controls& ui, CommandSender& sender,
                     const MessageBoxes& boxes);

    void VOLSetCmd_Click();
    void CURSetCmd_Click();
    void OVPSetCmd_Click();
    void OCPSetCmd_Click();

private:
    struct Row {
        QLineEdit* entry;
        double PanelState::*lower;
        double PanelState::*upper;
        const QString& prefix;
        qint16 readBackStep;
    };

    void send(const Row& row);

    PanelState& state_;
    Controls& ui_;
    CommandSender& sender_;
    const MessageBoxes& boxes_;
};
