#pragma once

#include "LineSettings.h"

#include <QByteArray>
#include <QObject>
#include <QString>

// The window's one serial control: open state, port number, settings text,
// buffers, thresholds, input mode, write, read, the event code and the
// receive event. The device underneath is supplied by a subclass: a real
// port, or a scripted one in the tests.
//
// Received bytes come back as text one character per byte (Latin-1), so
// every byte of any sequence maps to exactly one character and back.
class SerialControl : public QObject {
    Q_OBJECT
public:
    enum CommEvent : qint16 { comEvSend = 1, comEvReceive = 2 };
    // The most text waiting in the control; older bytes are dropped beyond it
    // so that a device flooding the line cannot grow the program.
    static constexpr qint64 MaxPending = 4096;

    explicit SerialControl(QObject* parent = nullptr);

    bool PortOpen() const { return open_; }
    // Opening uses the current CommPort and Settings; false when the device
    // cannot be opened or the settings were never accepted. Closing always
    // succeeds.
    [[nodiscard]] bool setPortOpen(bool open);

    int CommPort() const { return commPort_; }
    // 0 to 255 while closed; anything else is refused.
    [[nodiscard]] bool setCommPort(int port);

    // A device to open in place of the port number's, such as
    // /dev/serial/by-id/...; empty to open by number. Refused while open.
    QString DevicePath() const { return devicePath_; }
    [[nodiscard]] bool setDevicePath(const QString& path);

    QString Settings() const { return settingsText_; }
    // A text that LineSettings cannot read is refused and leaves the
    // settings as they were.
    [[nodiscard]] bool setSettings(const QString& text);

    void setInBufferSize(int bytes) { inBufferSize_ = bytes; }
    void setOutBufferSize(int bytes) { outBufferSize_ = bytes; }
    int InBufferSize() const { return inBufferSize_; }
    int OutBufferSize() const { return outBufferSize_; }
    // Setting a count to 0 discards what is pending in that direction.
    void setInBufferCount(int count);
    void setOutBufferCount(int count);
    qint64 InBufferCount() const;
    void setSThreshold(int threshold) { sThreshold_ = threshold; }
    void setRThreshold(int threshold) { rThreshold_ = threshold; }
    int SThreshold() const { return sThreshold_; }
    int RThreshold() const { return rThreshold_; }
    void setInputMode(int mode) { inputMode_ = mode; }
    int InputMode() const { return inputMode_; }

    // Writes the command text, one byte per character. False when the port
    // is closed or the write was refused; a refused write means the line is
    // lost, and the port is closed at once (lineLost follows).
    [[nodiscard]] bool Output(const QString& text);
    // All received text not yet taken.
    QString Input();

    qint16 CommEvent() const { return commEvent_; }

signals:
    // Raised when bytes have arrived (CommEvent 2).
    void OnComm();
    // The device failed while open (pulled out, hung up, refused a write):
    // the control has already closed the port.
    void lineLost();
    // Bytes written to the line, after each successful write.
    void bytesWritten(qint64 count);
    // Bytes taken from the control by Input().
    void bytesRead(qint64 count);

protected:
    // Opens the port's device, or the device path when one is set.
    virtual bool openDevice(int port, const LineSettings& settings) = 0;
    virtual void closeDevice() = 0;
    // False when the device refused the write.
    virtual bool writeDevice(const QByteArray& bytes) = 0;
    virtual QByteArray readDevice() = 0;
    virtual qint64 deviceBytesAvailable() const = 0;
    virtual void discardDeviceInput() = 0;
    virtual void discardDeviceOutput() = 0;

    // Subclasses call these when bytes arrive and when the device fails.
    void deviceReceived();
    void deviceLost();

private:
    bool open_ = false;
    int commPort_ = 0;
    QString devicePath_;
    QString settingsText_ = QStringLiteral("9600,N,8,1");
    LineSettings settings_;
    int inBufferSize_ = 1024;
    int outBufferSize_ = 512;
    int sThreshold_ = 0;
    int rThreshold_ = 0;
    int inputMode_ = 0;
    qint16 commEvent_ = 0;
};
