#include "ScpiServer.h"

#include "ScpiSession.h"

#include <QTcpServer>
#include <QTcpSocket>

ScpiServer::ScpiServer(SupplyLink& link, EnergyMeter& meter, std::function<void()> safeState,
                       QObject* parent)
    : QObject(parent), link_(link), meter_(meter), safeState_(std::move(safeState)) {}

ScpiServer::~ScpiServer() {
    close();
}

bool ScpiServer::listen(quint16 port, const QList<QHostAddress>& extraAddresses, QString* error) {
    close();
    QList<QHostAddress> addresses{QHostAddress(QHostAddress::LocalHost),
                                  QHostAddress(QHostAddress::LocalHostIPv6)};
    for (const QHostAddress& address : extraAddresses)
        if (!addresses.contains(address))
            addresses.append(address);
    for (const QHostAddress& address : addresses) {
        auto* server = new QTcpServer(this);
        server->setMaxPendingConnections(MaxClients);
        // Port 0 on the first address picks a free port; the others follow it.
        const quint16 wanted = servers_.isEmpty() ? port : servers_.constFirst()->serverPort();
        if (!server->listen(address, wanted)) {
            const bool noIpv6 = address == QHostAddress(QHostAddress::LocalHostIPv6) &&
                                server->serverError() != QAbstractSocket::AddressInUseError;
            const QString reason = address.toString() + u':' + QString::number(wanted) +
                                   QStringLiteral(": ") + server->errorString();
            delete server;
            // A system without IPv6 still serves on 127.0.0.1.
            if (noIpv6)
                continue;
            close();
            if (error)
                *error = reason;
            return false;
        }
        connect(server, &QTcpServer::newConnection, this, [this, server] { accept(*server); });
        servers_.append(server);
    }
    return true;
}

void ScpiServer::close() {
    qDeleteAll(servers_);
    servers_.clear();
    const QList<ScpiSession*> sessions = findChildren<ScpiSession*>(Qt::FindDirectChildrenOnly);
    qDeleteAll(sessions);
    setClients(0);
}

quint16 ScpiServer::serverPort() const {
    return servers_.isEmpty() ? 0 : servers_.constFirst()->serverPort();
}

void ScpiServer::accept(QTcpServer& server) {
    while (QTcpSocket* socket = server.nextPendingConnection()) {
        if (clients_ >= MaxClients) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto* session = new ScpiSession(link_, meter_, safeState_, socket, this);
        connect(session, &QObject::destroyed, this, [this] { setClients(clients_ - 1); });
        setClients(clients_ + 1);
    }
}

void ScpiServer::setClients(int count) {
    if (count == clients_)
        return;
    clients_ = count;
    emit clientCountChanged(count);
}
