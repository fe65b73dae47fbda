#include "IdentityQueries.h"

#include "LineArbiter.h"
#include "LinkState.h"
#include "protocol/Commands.h"
#include "serial/SerialControl.h"

IdentityQueries::IdentityQueries(LinkState& state, SerialControl& comm, LineArbiter& line,
                                 QObject* parent)
    : QObject(parent), state_(state), comm_(comm), line_(line) {}

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
    if (comm_.PortOpen() && line_.state() != LineArbiter::State::ClientReply)
        line_.discardUndecoded();
    if (!line_.sendCommand(query + Commands::End, LineArbiter::Echo::Logged, step,
                           LineArbiter::Reply::Awaited))
        return;
    // The next tick is skipped, so that the reply arrives under this step.
    state_.skipNextTick = true;
}
