#include "SetpointCommands.h"

#include "app/Controls.h"
#include "app/MessageBoxes.h"
#include "app/PanelState.h"
#include "protocol/CommandSender.h"
#include "protocol/Commands.h"
#include "protocol/NumberText.h"

#include <QLineEdit>

SetpointCommands::SetpointCommands(PanelState& state, Controls& ui, CommandSender& sender,
                                   const MessageBoxes& boxes)
    : state_(state), ui_(ui), sender_(sender), boxes_(boxes) {}

void SetpointCommands::VOLSetCmd_Click() {
    send({ui_.CVSetText, &PanelState::CVSetValueMin, &PanelState::CVSetValueMax,
          Commands::VoltageLevelPrefix, 3});
}

void SetpointCommands::CURSetCmd_Click() {
    send({ui_.CCSetText, &PanelState::CCSetValueMin, &PanelState::CCSetValueMax,
          Commands::CurrentLevelPrefix, 4});
}

void SetpointCommands::OVPSetCmd_Click() {
    send({ui_.OVPSetText, &PanelState::OVPSetValueMin, &PanelState::OVPSetValueMax,
          Commands::VoltageProtectionPrefix, 5});
}

void SetpointCommands::OCPSetCmd_Click() {
    send({ui_.OCPSetText, &PanelState::OCPSetValueMin, &PanelState::OCPSetValueMax,
          Commands::CurrentProtectionPrefix, 6});
}

void SetpointCommands::send(const Row& row) {
    // The range test comes before the port test, and the number sent is the
    // number tested. A value beyond a double's range is infinite and fails.
    const double value = NumberText::leadingNumber(row.entry->text());
    if (!(state_.*row.lower <= value && value <= state_.*row.upper)) {
        boxes_.show(MessageBoxes::outOfRange());
        return;
    }
    const QString command = Commands::withArgument(row.prefix, NumberText::plainDecimal(value));
    if (sender_.sendCommand(command, CommandSender::Echo::Logged))
        state_.myTimer = row.readBackStep;
}
