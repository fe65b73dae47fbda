#include "PortSession.h"

#include "Notices.h"
#include "SupplyModel.h"
#include "protocol/NumberText.h"
#include "serial/SerialControl.h"

namespace {

QString lineSettingsText(const QString& baud, const QString& parity, qint16 dataBits,
                         qint16 stopBits) {
    return baud + u',' + parity + u',' + QString::number(dataBits) + u',' +
           QString::number(stopBits);
}

} // namespace

QString settingsText(const PortRequest& request) {
    return request.baud + u',' + request.parity.left(1) + u',' + request.dataBits + u',' +
           request.stopBits;
}

PortSession::PortSession(SerialControl& comm, Notices& notices, SupplyModel& model, QObject* parent)
    : QObject(parent), comm_(comm), notices_(notices), model_(model) {
    qRegisterMetaType<PortRequest>();
}

bool PortSession::bPortOpen() const {
    return comm_.PortOpen();
}

void PortSession::toggle(const PortRequest& request) {
    if (bPortOpen()) {
        ClosePort();
    } else {
        Settings settings;
        if (!readSettings(request, settings))
            return;
        ConfigureAndOpenPort(request, settings);
        ReopenPortFromPanel(request);
    }
    emit lampsShown(comm_.PortOpen());
    if (comm_.PortOpen()) {
        emit notices_.messageCleared();
        opened(request, LinkEvent::PortOpened);
    }
}

bool PortSession::readSettings(const PortRequest& request, Settings& settings) const {
    const auto dataBits = NumberText::wholeTextToInt16(request.dataBits);
    const auto stopBits = NumberText::wholeTextToInt16(request.stopBits);
    if (!dataBits || !stopBits)
        return false;
    settings = {request.port,           request.device, request.baud,
                request.parity.left(1), *dataBits,      *stopBits};
    return true;
}

bool PortSession::configure(const Settings& settings) {
    return comm_.setCommPort(settings.port) && comm_.setDevicePath(settings.device) &&
           comm_.setSettings(lineSettingsText(settings.baud, settings.parity, settings.dataBits,
                                              settings.stopBits));
}

bool PortSession::openLine(const Settings& settings) {
    if (comm_.PortOpen())
        (void)comm_.setPortOpen(false);
    if (!configure(settings))
        return false;
    comm_.setInBufferSize(1024);
    comm_.setOutBufferSize(1024);
    comm_.setInBufferCount(0);
    comm_.setOutBufferCount(0);
    comm_.setSThreshold(1);
    comm_.setRThreshold(1);
    comm_.setOutBufferCount(0);
    comm_.setInBufferCount(0);
    return comm_.setPortOpen(true);
}

void PortSession::ConfigureAndOpenPort(const PortRequest& request, const Settings& settings) {
    if (!openLine(settings)) {
        emit notices_.message(Notices::translated(Notices::PortMissing));
        ClosePort();
        return;
    }
    emit statusShown(request);
}

void PortSession::ReopenPortFromPanel(const PortRequest& request) {
    if (comm_.PortOpen())
        (void)comm_.setPortOpen(false);
    Settings settings;
    if (!readSettings(request, settings))
        return;
    OpenPort(request, settings);
}

void PortSession::OpenPort(const PortRequest& request, const Settings& settings) {
    if (!openLine(settings)) {
        emit notices_.openFailed();
        ClosePort();
        return;
    }
    showOpenState(comm_.PortOpen(), request);
}

bool PortSession::openQuietly(const PortRequest& request, LinkEvent event) {
    Settings settings;
    if (comm_.PortOpen() || !readSettings(request, settings) || !openLine(settings))
        return false;
    showOpenState(true, request);
    opened(request, event);
    return true;
}

void PortSession::opened(const PortRequest& request, LinkEvent event) {
    opened_ = request;
    model_.setLink(request.portText, settingsText(request));
    model_.reportLinkEvent(event, QDateTime::currentDateTime());
}

void PortSession::ClosePort() {
    const bool wasOpen = comm_.PortOpen();
    if (wasOpen)
        (void)comm_.setPortOpen(false);
    showOpenState(false, {});
    if (wasOpen)
        closeReported(LinkEvent::PortClosed);
}

void PortSession::PortLost() {
    ClosePort();
    emit notices_.message(Notices::translated(Notices::PortMissing));
    closeReported(LinkEvent::PortLost);
}

void PortSession::closeReported(LinkEvent event) {
    model_.setLink({}, {});
    model_.reportLinkEvent(event, QDateTime::currentDateTime());
}

void PortSession::showOpenState(bool open, const PortRequest& request) {
    emit openStateShown(open, open ? request : PortRequest{});
}
