#pragma once

#include "control/CommandLine.h"

#include <QObject>
#include <QRect>
#include <QStringList>

class MessageLine;
class QAction;
class QLabel;
class QWidget;
class ReadoutMenu;
class RemoteAccess;
class RunController;

// The operator's side of the script server: the checkable "远程控制 (SCPI)"
// in the read-out frame's menu starts and stops it, "远程 N" beside the
// recording indicator shows how many clients are connected, and a server
// that cannot start says why on the message line. No control moves. The
// server is made (its module loaded) when first started.
class RemoteControl : public QObject {
    Q_OBJECT
public:
    RemoteControl(QWidget& window, RunController& controller, ReadoutMenu& menu,
                  MessageLine& message, const QRect& indicatorPlace);

    // Just left of the recording indicator's place, in the same row over
    // the message line's right end.
    static QRect indicatorPlace(const QRect& recordingPlace);

    // The port and the extra addresses the menu entry starts the server on
    // (5025 and none unless the command line says otherwise).
    void configure(quint16 port, const QStringList& extraAddresses);
    // Starts the server as the entry does; false, with the reason on the
    // message line and the entry unticked, when it cannot listen.
    bool start();
    void stop();

    // Null until the server was first started.
    RemoteAccess* server() const;
    QAction* menuEntry() const { return entry_; }
    const QLabel& indicator() const { return *indicator_; }

private:
    void showClients(int count);

    RunController& controller_;
    MessageLine& message_;
    QAction* entry_;
    QLabel* indicator_;
    quint16 port_ = LaunchOptions::DefaultScpiPort;
    QStringList extra_;
};
