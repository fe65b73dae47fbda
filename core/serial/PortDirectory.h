#pragma once

#include <QString>
#include <QStringList>

// Which device stands for port number n, and whether it exists.
//
// COM1-32 are /dev/ttyS0-31, COM33-64 /dev/ttyUSB0-31 and COM65-96
// /dev/ttyACM0-31. A link named comN in the port-link folder stands for COMn
// and overrides that table for any n from 1 to 255: that is how a
// pseudo-terminal or a /dev/serial/by-id path is reached.
class PortDirectory {
public:
    static constexpr int FirstPort = 1;
    // The largest number the chosen port (MyOpenPort) holds: a port beyond
    // it could be listed but never opened, so it stands for no device.
    static constexpr int LastPort = 255;

    // sysfsTty is where the kernel describes its tty devices; tests may
    // point it elsewhere.
    explicit PortDirectory(QString linkFolder, QString sysfsTty = QStringLiteral("/sys/class/tty"));

    // The generic config location + /velmor/ports.
    static QString defaultLinkFolder();

    const QString& linkFolder() const { return linkFolder_; }

    // The device path for port n, or empty when n stands for none.
    QString devicePath(int port) const;
    // The device a port text stands for: an absolute path is a device given
    // directly (/dev/ttyUSB0, a /dev/serial/by-id link) and stands for
    // itself; any other text stands for the device of its port number
    // (portNumberFromText).
    QString deviceForText(const QString& text) const;

    // Nonzero when port n's device exists as a serial device: a link that
    // resolves to a character device, or a table device node whose serial
    // driver has a port behind it (a ttyS node exists for every possible
    // UART; the kernel's port type tells whether one is there).
    qint32 ComPortExists(int port) const;

private:
    QString linkPath(int port) const;

    QString linkFolder_;
    QString sysfsTty_;
};

// The port number in a CboCom text: "COM" (upper case only) and blanks
// removed, the leading number rounded half to even; 0 when there is none or
// it does not fit 0 to 255.
quint8 portNumberFromText(const QString& text);
