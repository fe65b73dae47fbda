#include "SerialControl.h"

SerialControl::SerialControl(QObject* parent) : QObject(parent) {}

bool SerialControl::setPortOpen(bool open) {
    if (!open) {
        if (open_) {
            open_ = false;
            closeDevice();
        }
        return true;
    }
    if (open_)
        return true;
    if (!openDevice(commPort_, settings_))
        return false;
    open_ = true;
    return true;
}

bool SerialControl::setCommPort(int port) {
    if (open_ || port < 0 || port > 255)
        return false;
    commPort_ = port;
    return true;
}

bool SerialControl::setDevicePath(const QString& path) {
    if (open_)
        return false;
    devicePath_ = path;
    return true;
}

bool SerialControl::setSettings(const QString& text) {
    const auto parsed = LineSettings::parse(text);
    if (!parsed)
        return false;
    settings_ = *parsed;
    settingsText_ = text;
    return true;
}

void SerialControl::setInBufferCount(int count) {
    if (count == 0 && open_)
        discardDeviceInput();
}

void SerialControl::setOutBufferCount(int count) {
    if (count == 0 && open_)
        discardDeviceOutput();
}

qint64 SerialControl::InBufferCount() const {
    return open_ ? deviceBytesAvailable() : 0;
}

bool SerialControl::Output(const QString& text) {
    if (!open_)
        return false;
    const QByteArray bytes = text.toLatin1();
    if (!writeDevice(bytes)) {
        deviceLost();
        return false;
    }
    emit bytesWritten(bytes.size());
    return true;
}

QString SerialControl::Input() {
    if (!open_)
        return {};
    const QByteArray bytes = readDevice();
    if (!bytes.isEmpty())
        emit bytesRead(bytes.size());
    return QString::fromLatin1(bytes);
}

void SerialControl::deviceReceived() {
    if (!open_ || rThreshold_ <= 0)
        return;
    commEvent_ = comEvReceive;
    emit OnComm();
}

void SerialControl::deviceLost() {
    if (!open_)
        return;
    open_ = false;
    closeDevice();
    emit lineLost();
}
