#pragma once

#include "control/RemoteAccess.h"
#include "scpi/ScpiServer.h"

#include <memory>

class SupplyMetrics;

// The script server and the metrics page of one run.
class RemoteServices : public RemoteAccess {
    Q_OBJECT
public:
    explicit RemoteServices(const Parts& parts);
    ~RemoteServices() override;

    // A factory for a program that links the services rather than loading them.
    static std::unique_ptr<RemoteAccess> make(const Parts& parts, QString* error);

    bool listenScpi(quint16 port, const QStringList& extraAddresses, QString* error) override;
    void closeScpi() override;
    bool isScpiListening() const override;
    int scpiClientCount() const override;
    quint16 scpiPort() const override;
    bool serveMetrics(const MetricsAddress& where, const QString& portLabel,
                      QString* error) override;
    bool isServingMetrics() const override;
    void countReconnection() override;

    const SupplyMetrics* metrics() const { return metrics_.get(); }

private:
    Parts parts_;
    ScpiServer scpi_;
    std::unique_ptr<SupplyMetrics> metrics_;
};
