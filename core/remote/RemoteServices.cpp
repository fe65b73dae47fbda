#include "RemoteServices.h"

#include "metrics/SupplyMetrics.h"

#include <QHostAddress>

RemoteServices::RemoteServices(const Parts& parts)
    : parts_(parts), scpi_(parts.link, parts.meter, parts.safeState) {
    connect(&scpi_, &ScpiServer::clientCountChanged, this, &RemoteAccess::scpiClientCountChanged);
}

RemoteServices::~RemoteServices() = default;

std::unique_ptr<RemoteAccess> RemoteServices::make(const Parts& parts, QString*) {
    return std::make_unique<RemoteServices>(parts);
}

bool RemoteServices::listenScpi(quint16 port, const QStringList& extraAddresses, QString* error) {
    QList<QHostAddress> addresses;
    for (const QString& text : extraAddresses)
        addresses.append(QHostAddress(text));
    return scpi_.listen(port, addresses, error);
}

void RemoteServices::closeScpi() {
    scpi_.close();
}

bool RemoteServices::isScpiListening() const {
    return scpi_.isListening();
}

int RemoteServices::scpiClientCount() const {
    return scpi_.clientCount();
}

quint16 RemoteServices::scpiPort() const {
    return scpi_.serverPort();
}

bool RemoteServices::serveMetrics(const MetricsAddress& where, const QString& portLabel,
                                  QString* error) {
    auto metrics =
        std::make_unique<SupplyMetrics>(parts_.link, parts_.recorder, parts_.watch, parts_.meter);
    if (!metrics->listen(where.text(), portLabel, error))
        return false;
    metrics_ = std::move(metrics);
    return true;
}

bool RemoteServices::isServingMetrics() const {
    return metrics_ != nullptr;
}

void RemoteServices::countReconnection() {
    if (metrics_)
        metrics_->countReconnection();
}
