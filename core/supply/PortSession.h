#pragma once

#include "SupplyModel.h"

#include <QObject>
#include <QString>

class Notices;
class SerialControl;
class SupplyModel;

// The panel's choice of port and line settings, as the lists show them.
struct PortRequest {
    QString portText; // as shown, e.g. "COM3"
    quint8 port = 0;  // the number it stands for, 0 for none
    QString baud;
    QString parity; // the list's text; its first letter is used
    QString dataBits;
    QString stopBits;
    // A device path to open in place of the port number's device; empty for
    // the panel's own choice, which is always by number.
    QString device;
};

Q_DECLARE_METATYPE(PortRequest)

// Opening and closing the port with the panel's line settings, and when a
// front end shows the open state: its status line, its button and its lamps.
// Every opening, whoever asks for it, prepares the control the same way.
class PortSession : public QObject {
    Q_OBJECT
public:
    PortSession(SerialControl& comm, Notices& notices, SupplyModel& model,
                QObject* parent = nullptr);

    // A view of the serial control's open state, which alone holds it.
    bool bPortOpen() const;

    // The port switch: closes an open port, or opens the requested one
    // (configured and opened, then closed and opened once more).
    void toggle(const PortRequest& request);
    // Closes the port and shows the closed state.
    void ClosePort();
    // The line failed while open: the control has closed the port already.
    void PortLost();
    // The request the port was last opened with.
    const PortRequest& openedRequest() const { return opened_; }
    // Opens the requested port without a box or message, as an unattended
    // run or a reconnection does, and reports the event given; true when it
    // is open.
    bool openQuietly(const PortRequest& request, LinkEvent event);

signals:
    // The status line is to show the port open with `request`.
    void statusShown(const PortRequest& request);
    // Caption, lamps and status follow the open state; `request` is the
    // opened one, empty when closed.
    void openStateShown(bool open, const PortRequest& request);
    // Only the lamps follow the open state.
    void lampsShown(bool open);

private:
    struct Settings {
        quint8 port;
        QString device;
        QString baud;
        QString parity;
        qint16 dataBits;
        qint16 stopBits;
    };

    // The request's settings converted; nothing when the data or stop bits
    // are not a number that fits 16 bits.
    bool readSettings(const PortRequest& request, Settings& settings) const;
    // The one opening: configures the control with the settings, prepares
    // its buffers and thresholds so that replies raise the receive event,
    // and opens it. False when the control refuses any of it.
    bool openLine(const Settings& settings);
    void ConfigureAndOpenPort(const PortRequest& request, const Settings& settings);
    void ReopenPortFromPanel(const PortRequest& request);
    void OpenPort(const PortRequest& request, const Settings& settings);
    // Sets port number and settings; false when the control refuses either.
    bool configure(const Settings& settings);
    void showOpenState(bool open, const PortRequest& request);
    void opened(const PortRequest& request, LinkEvent event);
    void closeReported(LinkEvent event);

    SerialControl& comm_;
    Notices& notices_;
    SupplyModel& model_;
    PortRequest opened_;
};

// "9600,N,8,1" as the request gives it.
QString settingsText(const PortRequest& request);
