#pragma once

#include <QKeySequence>
#include <QObject>

class QAction;
class QMenu;
class QWidget;

// The context menu of the read-out frame: start and stop a recording, and
// switch automatic reconnection. Further entries can be appended; "关于…"
// stays last. Only the entries that apply are enabled, and each shows its
// shortcut. The frame's tool tip says where the menu is.
class ReadoutMenu : public QObject {
    Q_OBJECT
public:
    // Ctrl+R: starts or stops a recording, whichever applies.
    static QKeySequence recordingShortcut() { return QKeySequence(Qt::CTRL | Qt::Key_R); }

    // The menu opens on a right click anywhere in `frame`, its read-outs
    // included.
    explicit ReadoutMenu(QWidget& frame);

    QAction* startRecording() const { return start_; }    // "开始记录…"
    QAction* stopRecording() const { return stop_; }      // "停止记录"
    QAction* autoReconnect() const { return reconnect_; } // "自动重连", checkable, off
    QAction* about() const { return about_; }             // "关于…"
    // Appends an entry below the ones above, before "关于…". Its shortcut
    // works anywhere in the frame's window.
    void addAction(QAction* action);
    // The menu opens on a right click anywhere in `window` where no control
    // has a context menu of its own.
    void openAnywhereIn(QWidget& window);
    QMenu& menu() const { return *menu_; }

    void setRecording(bool recording);

    // Where the frame's tool tip says the menu is.
    static QString hint();

private:
    QWidget& frame_;
    QMenu* menu_;
    QAction* start_;
    QAction* stop_;
    QAction* reconnect_;
    QAction* aboutSeparator_;
    QAction* about_;
    // Set off from the entries above once the first one is appended.
    bool hasExtras_ = false;
};
