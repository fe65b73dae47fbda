#pragma once

#include "DesktopNotifier.h"
#include "program/Automation.h"

#include <QObject>

class MessageLine;
class ProgramWindow;
class QAction;
class QWidget;
class ReadoutMenu;
class SupplyLink;
class WatchDialog;

// The programmed run and the watch limits on the panel: "程序运行…" (Ctrl+P)
// and "监视限值…" in the read-out frame's context menu open their windows;
// a watch alarm shows on the message line and as a desktop notification.
class ProgramTools : public QObject {
    Q_OBJECT
public:
    ProgramTools(QWidget& window, SupplyLink& link, Automation& automation, ReadoutMenu& menu,
                 MessageLine& message);

    Automation& automation() { return automation_; }
    QAction* showRunAction() const { return showRun_; }
    QAction* showWatchAction() const { return showWatch_; }

    ProgramWindow* showRun();
    WatchDialog* showWatch();
    ProgramWindow* runWindow() const { return runWindow_; }

    // "电流超过上限 1.2 A：1.25 A", and that the output was switched off.
    static QString alarmText(const WatchLimits::Alarm& alarm);

private:
    QWidget& window_;
    SupplyLink& link_;
    MessageLine& message_;
    Automation& automation_;
    DesktopNotifier notifier_;
    QAction* showRun_;
    QAction* showWatch_;
    ProgramWindow* runWindow_ = nullptr;
    WatchDialog* watchDialog_ = nullptr;
};
