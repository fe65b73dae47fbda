#include "QtSerialControl.h"

#include <QTimer>

namespace {

QSerialPort::Parity toQt(LineSettings::Parity parity) {
    switch (parity) {
    case LineSettings::Parity::Odd:
        return QSerialPort::OddParity;
    case LineSettings::Parity::Even:
        return QSerialPort::EvenParity;
    case LineSettings::Parity::Space:
        return QSerialPort::SpaceParity;
    case LineSettings::Parity::Mark:
        return QSerialPort::MarkParity;
    case LineSettings::Parity::None:
        break;
    }
    return QSerialPort::NoParity;
}

} // namespace

QtSerialControl::QtSerialControl(PortDirectory ports, QObject* parent)
    : SerialControl(parent), ports_(std::move(ports)) {}

bool QtSerialControl::openDevice(int port, const LineSettings& settings) {
    const QString path = DevicePath().isEmpty() ? ports_.devicePath(port) : DevicePath();
    if (path.isEmpty())
        return false;
    port_ = new QSerialPort(path, this);
    // Bounded, so that a device flooding the line cannot grow the program.
    port_->setReadBufferSize(MaxPending);
    const bool opened =
        port_->open(QIODevice::ReadWrite) && port_->setBaudRate(settings.baudRate) &&
        port_->setParity(toQt(settings.parity)) &&
        port_->setDataBits(static_cast<QSerialPort::DataBits>(settings.dataBits)) &&
        port_->setStopBits(settings.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    if (!opened) {
        dropPort();
        return false;
    }
    port_->clear();
    connect(port_, &QSerialPort::readyRead, this, &QtSerialControl::onReadyRead);
    connect(port_, &QSerialPort::errorOccurred, this, &QtSerialControl::onErrorOccurred);
    return true;
}

void QtSerialControl::dropPort() {
    if (!port_)
        return;
    port_->disconnect(this);
    port_->close();
    // Closing may happen inside the port's own signal: delete it later.
    port_->deleteLater();
    port_ = nullptr;
    notifyQueued_ = false;
}

void QtSerialControl::closeDevice() {
    // Qt writes from its buffer only when the event loop runs: what was
    // written last (the output switched off on the way out) goes to the
    // line before it closes. A line that failed gets nothing more.
    if (port_) {
        const QSerialPort::SerialPortError error = port_->error();
        if (error == QSerialPort::NoError || error == QSerialPort::UnsupportedOperationError ||
            error == QSerialPort::TimeoutError)
            port_->flush();
    }
    dropPort();
}

bool QtSerialControl::writeDevice(const QByteArray& bytes) {
    return port_ && port_->write(bytes) == bytes.size();
}

QByteArray QtSerialControl::readDevice() {
    return port_ ? port_->readAll() : QByteArray();
}

qint64 QtSerialControl::deviceBytesAvailable() const {
    return port_ ? port_->bytesAvailable() : 0;
}

void QtSerialControl::discardDeviceInput() {
    if (!port_)
        return;
    port_->clear(QSerialPort::Input);
    port_->readAll();
}

void QtSerialControl::discardDeviceOutput() {
    if (port_)
        port_->clear(QSerialPort::Output);
}

void QtSerialControl::onReadyRead() {
    notifyQueued_ = false;
    deviceReceived();
    // readyRead is not raised again for bytes that arrived while its own
    // handlers yielded to the event loop; those would sit until the next
    // byte. Look again once this handler has returned.
    if (port_ && port_->bytesAvailable() > 0 && !notifyQueued_) {
        notifyQueued_ = true;
        QTimer::singleShot(0, this, [this] {
            if (notifyQueued_)
                onReadyRead();
        });
    }
}

void QtSerialControl::onErrorOccurred(QSerialPort::SerialPortError error) {
    switch (error) {
    case QSerialPort::NoError:
    case QSerialPort::UnsupportedOperationError:
    case QSerialPort::TimeoutError:
        return;
    default:
        break;
    }
    // While open, any other error means the line is gone: on a vanished
    // device the port reports read errors endlessly and spins, so close it
    // at once, before anyone shows a box.
    deviceLost();
}
