#include "IdentityQueries.h"

#include "CommandSender.h"
#include "LinkState.h"
#include "ReplyDecoder.h"
#include "protocol/Commands.h"
#include "serial/SerialControl.h"

IdentityQueries::IdentityQueries(LinkState& state, SerialControl& comm, CommandSender& sender,
                                 ReplyDecoder& decoder, QObject* parent)
    : QObject(parent), state_(state), comm_(comm), sender_(sender), decoder_(decoder) {}

void IdentityQueries::queryVersion() {
    sendQuery(Quantity::Version, Commands::VersionQuery, PollingStep::Version);
}

void IdentityQueries::queryIdentification() {
    sendQuery(Quantity::Identification, Commands::IdentityQuery, PollingStep::Identification);
}

void IdentityQueries::sendQuery(Quantity quantity, const QString& query, PollingStep step) {
    emit queryStarted(quantity);
    // Text left from earlier replies would otherwise be shown as the reply;
    // text arriving while a script client's query holds the line is that
    // client's reply.
    if (comm_.PortOpen() && !sender_.reserved())
        decoder_.discardUndecoded();
    if (!sender_.sendCommand(query + Commands::End, CommandSender::Echo::Logged, step,
                             CommandSender::Reply::Awaited))
        return;
    // The next tick is skipped, so that the reply arrives under this step.
    state_.skipNextTick = true;
}
