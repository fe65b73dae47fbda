#pragma once

#include "serial/SerialControl.h"

#include <QByteArray>
#include <QList>
#include <QSet>

#include <functional>

// A serial control for tests: it records every byte written and delivers
// received text in the pieces the test chooses.
class ScriptedSerialControl final : public SerialControl {
    Q_OBJECT
public:
    // Port numbers whose opening succeeds.
    QSet<int> presentPorts{3};
    // The next this many openings fail even for a present port.
    int failingOpens = 0;
    // Every write is refused, as by a device that went away.
    bool refuseWrites = false;

    QList<QByteArray> writes;
    // Called with each write, after it was recorded.
    std::function<void(const QByteArray&)> onWrite;
    int openings = 0;
    int openedPort = 0;
    LineSettings openedWith;

    QByteArray written() const { return writes.join(); }
    // What was written since the last call, as text, and forgets it.
    QString takeWritten();
    // Delivers one piece: it waits in the control and raises OnComm.
    void receive(const QByteArray& piece);
    void receiveInPieces(const QByteArray& text, int pieceSize);
    // The device disappears while open.
    void vanish() { deviceLost(); }
    qint64 pendingBytes() const { return pending_.size(); }

protected:
    bool openDevice(int port, const LineSettings& settings) override;
    void closeDevice() override {}
    bool writeDevice(const QByteArray& bytes) override;
    QByteArray readDevice() override;
    qint64 deviceBytesAvailable() const override { return pending_.size(); }
    void discardDeviceInput() override { pending_.clear(); }
    void discardDeviceOutput() override {}

private:
    QByteArray pending_;
};
