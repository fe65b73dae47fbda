#include "IdentityQueries.h"

#include "app/Controls.h"
#include "app/PanelState.h"
#include "protocol/CommandSender.h"
#include "protocol/Commands.h"
#include "protocol/ReplyDecoder.h"
#include "serial/SerialControl.h"

#include <QLabel>

namespace {

constexpr qint16 VersionStep = 17;
constexpr qint16 IdentityStep = 18;

} // namespace

IdentityQueries::IdentityQueries(PanelState& state, Controls& ui, SerialControl& comm,
                                 CommandSender& sender, ReplyDecoder& decoder)
    : state_(state), ui_(ui), comm_(comm), sender_(sender), decoder_(decoder) {}

void IdentityQueries::FrameVersion_DblClick() {
    ui_.LabVersion->clear();
    // Text left from earlier replies would otherwise be shown as the version.
    if (comm_.PortOpen())
        decoder_.discardUndecoded();
    if (!sender_.sendCommand(Commands::VersionQuery + Commands::End, CommandSender::Echo::Logged))
        return;
    state_.myTimer = VersionStep;
    state_.bReadVersion = true;
}

void IdentityQueries::LabVersion_DblClick() {
    FrameVersion_DblClick();
}

void IdentityQueries::Veries_DblClick() {
    ui_.LabSeries->clear();
    if (comm_.PortOpen())
        decoder_.discardUndecoded();
    if (!sender_.sendCommand(Commands::IdentityQuery + Commands::End, CommandSender::Echo::Logged))
        return;
    state_.myTimer = IdentityStep;
    state_.bReadVersion = true;
}

void IdentityQueries::LabSeries_Click() {
    Veries_DblClick();
}
