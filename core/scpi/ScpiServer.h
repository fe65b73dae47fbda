#pragma once

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class EnergyMeter;
class QTcpServer;
class SupplyLink;

// Serves script clients speaking SCPI over TCP, on the loopback addresses
// and on any address the user names. The protocol has no authentication:
// whoever reaches the port drives the supply.
class ScpiServer : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxClients = 8;

    // `safeState` switches the output off when a client's watchdog fires.
    ScpiServer(SupplyLink& link, EnergyMeter& meter, std::function<void()> safeState,
               QObject* parent = nullptr);
    ~ScpiServer() override;

    // Listens on 127.0.0.1 and ::1 (where the system has IPv6), plus the
    // extra addresses; port 0 takes a free port. On failure nothing listens
    // and `error` says why.
    bool listen(quint16 port, const QList<QHostAddress>& extraAddresses, QString* error);
    // Stops listening and disconnects every client.
    void close();
    bool isListening() const { return !servers_.isEmpty(); }
    int clientCount() const { return clients_; }
    // The port listened on, once listening.
    quint16 serverPort() const;

signals:
    void clientCountChanged(int count);

private:
    void accept(QTcpServer& server);
    void setClients(int count);

    SupplyLink& link_;
    EnergyMeter& meter_;
    std::function<void()> safeState_;
    QList<QTcpServer*> servers_;
    int clients_ = 0;
};
