#pragma once

#include "CommandLine.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class CsvRecorder;
class EnergyMeter;
class SupplyLink;
class WatchLimits;

// The network side of a run: the script server and the metrics page. They
// need Qt Network and the metrics library, which a run that serves neither
// should not load, so the run reaches them only through this and makes them
// on first use.
class RemoteAccess : public QObject {
    Q_OBJECT
public:
    // What the services read and drive; all of it outlives them.
    struct Parts {
        SupplyLink& link;
        const CsvRecorder& recorder;
        const WatchLimits& watch;
        EnergyMeter& meter;
        // The output off for a script client's watchdog.
        std::function<void()> safeState;
    };
    // Makes the services, or says why it cannot (a module that will not load).
    using Factory = std::function<std::unique_ptr<RemoteAccess>(const Parts&, QString* error)>;

    using QObject::QObject;

    // Listens for script clients on the loopback addresses and the extra
    // ones (address literals); port 0 takes a free port. On failure nothing
    // listens and `error` says why.
    virtual bool listenScpi(quint16 port, const QStringList& extraAddresses, QString* error) = 0;
    // Stops listening and disconnects every client.
    virtual void closeScpi() = 0;
    virtual bool isScpiListening() const = 0;
    virtual int scpiClientCount() const = 0;
    // The port listened on, once listening.
    virtual quint16 scpiPort() const = 0;

    // Serves the metrics page, labelled with `portLabel`; false with a
    // one-line reason when the address cannot be bound.
    virtual bool serveMetrics(const MetricsAddress& where, const QString& portLabel,
                              QString* error) = 0;
    virtual bool isServingMetrics() const = 0;
    // A lost line was opened again.
    virtual void countReconnection() = 0;

signals:
    void scpiClientCountChanged(int count);
};
