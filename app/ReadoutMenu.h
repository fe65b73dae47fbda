#pragma once

#include <QObject>

class QAction;
class QMenu;
class QWidget;

// The context menu of the read-out frame: start and stop a recording, and
// switch automatic reconnection. Further entries can be appended. Only the
// entries that apply are enabled.
class ReadoutMenu : public QObject {
    Q_OBJECT
public:
    // The menu opens on a right click anywhere in `frame`, its read-outs
    // included.
    explicit ReadoutMenu(QWidget& frame);

    QAction* startRecording() const { return start_; }    // "开始记录…"
    QAction* stopRecording() const { return stop_; }      // "停止记录"
    QAction* autoReconnect() const { return reconnect_; } // "自动重连", checkable, off
    // Appends an entry below the ones above.
    void addAction(QAction* action);
    QMenu& menu() const { return *menu_; }

    void setRecording(bool recording);

private:
    QMenu* menu_;
    QAction* start_;
    QAction* stop_;
    QAction* reconnect_;
    // Set off from the entries above once the first one is appended.
    bool hasExtras_ = false;
};
