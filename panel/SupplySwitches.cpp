#include "SupplySwitches.h"

#include "app/Controls.h"
#include "app/PanelState.h"
#include "protocol/CommandSender.h"
#include "protocol/Commands.h"

#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

namespace {

// After a mode command the cycle reads the voltage setpoint back next; after
// the output switch it runs its last step and starts afresh.
constexpr qint16 AfterModeStep = 3;
constexpr qint16 AfterOutputStep = 17;
constexpr qint16 IndependentMode = 0;

const QString kOn = QStringLiteral("开");
const QString kOff = QStringLiteral("关");

} // namespace

SupplySwitches::SupplySwitches(PanelState& state, Controls& ui, CommandSender& sender)
    : state_(state), ui_(ui), sender_(sender) {}

void SupplySwitches::OutPutButton_Click() {
    const bool switchOn = ui_.OutPutButton->text() == kOn;
    if (!sender_.sendCommand(switchOn ? Commands::OutputOn : Commands::OutputOff,
                             CommandSender::Echo::Silent))
        return;
    ui_.OutPutButton->setText(switchOn ? kOff : kOn);
    state_.myTimer = AfterOutputStep;
}

void SupplySwitches::INDcmd_Click() {
    selectMode(0);
}

void SupplySwitches::PARcmd_Click() {
    selectMode(1);
}

void SupplySwitches::SERcmd_Click() {
    selectMode(2);
}

void SupplySwitches::selectMode(qint16 mode) {
    if (sender_.sendCommand(Commands::withArgument(Commands::ModePrefix, QString::number(mode)),
                            CommandSender::Echo::Logged))
        state_.myTimer = AfterModeStep;
    // The panel follows the click even when nothing could be sent.
    state_.PowerMode = mode;
    ui_.OP1->setEnabled(mode == IndependentMode);
    ui_.Op2->setEnabled(mode == IndependentMode);
}

void SupplySwitches::OP1_Click() {
    selectChannel(1);
}

void SupplySwitches::Op2_Click() {
    selectChannel(2);
}

void SupplySwitches::selectChannel(qint16 channel) {
    (void)sender_.sendCommand(
        Commands::withArgument(Commands::ChannelPrefix, QString::number(channel)),
        CommandSender::Echo::Logged);
}

void SupplySwitches::ClrAlarmAmd_Click() {
    (void)sender_.sendCommand(Commands::ClearAlarm, CommandSender::Echo::Silent);
}
