#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// Which device stands for port number n, and whether it exists.
//
// COM1-32 are /dev/ttyS0-31, COM33-64 /dev/ttyUSB0-31 and COM65-96
// /dev/ttyACM0-31. A link named comN in the port-link folder stands for COMn
// and overrides that table for any n from 1 to 256: that is how a
// pseudo-terminal or a /dev/serial/by-id path is reached.
class PortDirectory {
public:
    static constexpr int FirstPort = 1;
    static constexpr int LastPort = 256;

    explicit PortDirectory(QString linkFolder);

    // The generic config location + /velmor/ports.
    static QString defaultLinkFolder();

    const QString& linkFolder() const { return linkFolder_; }

    // The device path for port n, or empty when n stands for none.
    QString devicePath(int port) const;

    // Takes one listing of the system's serial ports for the tests that
    // follow, so that a scan of all port numbers asks the system once.
    void refreshListing();

    // Nonzero when port n's device exists as a serial device: a table device
    // that the system lists, or a link that resolves to a character device.
    qint32 ComPortExists(int port) const;

private:
    QString linkPath(int port) const;

    QString linkFolder_;
    QSet<QString> listed_;
};

// The port number in a CboCom text: "COM" (upper case only) and blanks
// removed, the leading number rounded half to even; 0 when there is none or
// it does not fit 0 to 255.
quint8 portNumberFromText(const QString& text);
