#pragma once

#include "SupplyModel.h"
#include "protocol/Commands.h"

#include <QObject>
#include <QString>

class LineArbiter;
class SerialControl;
struct LinkState;

// The firmware version and identification queries, sent outside the polling
// cycle, which holds back one tick for the reply.
class IdentityQueries : public QObject {
    Q_OBJECT
public:
    IdentityQueries(LinkState& state, SerialControl& comm, LineArbiter& line,
                    QObject* parent = nullptr);

    void queryVersion();
    void queryIdentification();

signals:
    // The quantity's old text is no longer shown while its answer is awaited.
    void queryStarted(Quantity quantity);

private:
    void sendQuery(Quantity quantity, const QString& query, PollingStep step);

    LinkState& state_;
    SerialControl& comm_;
    LineArbiter& line_;
};
