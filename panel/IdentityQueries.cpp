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
    sendQuery(*ui_.LabVersion, Commands::VersionQuery, VersionStep);
}

void IdentityQueries::LabVersion_DblClick() {
    FrameVersion_DblClick();
}

void IdentityQueries::Veries_DblClick() {
    sendQuery(*ui_.LabSeries, Commands::IdentityQuery, IdentityStep);
}

void IdentityQueries::LabSeries_Click() {
    Veries_DblClick();
}

void IdentityQueries::sendQuery(QLabel& label, const QString& query, qint16 step) {
    label.clear();
    // Text left from earlier replies would otherwise be shown as the reply.
    if (comm_.PortOpen())
        decoder_.discardUndecoded();
    if (!sender_.sendCommand(query + Commands::End, CommandSender::Echo::Logged))
        return;
    // The next tick is skipped, so that the reply arrives under this step.
    state_.myTimer = step;
    state_.bReadVersion = true;
}
