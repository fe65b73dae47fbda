#pragma once

#include "PortDirectory.h"
#include "SerialControl.h"

#include <QSerialPort>

// The serial control over a real device (or a pseudo-terminal reached
// through a port link).
class QtSerialControl final : public SerialControl {
    Q_OBJECT
public:
    explicit QtSerialControl(PortDirectory ports, QObject* parent = nullptr);

protected:
    bool openDevice(int port, const LineSettings& settings) override;
    void closeDevice() override;
    bool writeDevice(const QByteArray& bytes) override;
    QByteArray readDevice() override;
    qint64 deviceBytesAvailable() const override;
    void discardDeviceInput() override;
    void discardDeviceOutput() override;

private:
    void onReadyRead();
    void onErrorOccurred(QSerialPort::SerialPortError error);
    void dropPort();

    PortDirectory ports_;
    // A fresh port for every opening: a reopened QSerialPort refuses to be
    // given again the parity it already has.
    QSerialPort* port_ = nullptr;
    bool notifyQueued_ = false;
};
