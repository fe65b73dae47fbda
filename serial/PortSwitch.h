#pragma once

#include <QString>

class MessageBoxes;
class MessageLine;
class SerialControl;
struct Controls;
struct PanelState;

// The port button CmdSwitch: opens the chosen port with the chosen line
// settings, closes it, and shows the state in the status line, the button's
// caption and the lamps.
class PortSwitch {
public:
    static const QString ClosedStatus; // "STATUS：COM Port Cloced"

    PortSwitch(PanelState& state, Controls& ui, SerialControl& comm, MessageLine& message,
               const MessageBoxes& boxes);

    void CmdSwitch_Click();
    // Closes the port and shows the closed state.
    void ClosePort();
    // The line failed while open: the control has closed the port already.
    void PortLost();

private:
    struct Request {
        quint8 port;
        QString baud;
        QString parity;
        qint16 dataBits;
        qint16 stopBits;
    };

    // The four setting lists read and converted; nothing when the data or
    // stop bits are not a number that fits 16 bits.
    bool readSettings(Request& request) const;
    void ConfigureAndOpenPort(const Request& request);
    void OpenPort(const Request& request);
    void ReopenPortFromPanel();
    // Sets port number and settings; false when the control refuses either.
    bool configure(const Request& request);
    QString openStatus() const;
    void showOpenState(bool open);

    PanelState& state_;
    Controls& ui_;
    SerialControl& comm_;
    MessageLine& message_;
    const MessageBoxes& boxes_;
};
