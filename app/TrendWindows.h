#pragma once

#include "MessageBoxes.h"
#include "TrendWindow.h"
#include "record/CsvReader.h"

#include <QList>
#include <QObject>
#include <QPointer>

class QAction;
class QWidget;

// The trend windows of the panel: the one live window, made when first
// shown and only hidden when closed, so that opening it again shows
// everything since start-up; and one window per recording opened, gone
// when closed. All are windows of their own that belong to the owner
// (the main window): they close with it.
class TrendWindows : public QObject {
    Q_OBJECT
public:
    TrendWindows(const ReadingHistory& live, QWidget* owner);

    // "趋势图" with Ctrl+T: shows the live window. For the owner's context
    // menu and, added to the owner, for the shortcut.
    QAction* showAction() const { return showAction_; }

    TrendWindow* showLive();
    // A window of its own for the recording; nothing but a box when it
    // cannot be read.
    TrendWindow* openFile(const QString& path);

    TrendWindow* liveWindow() const { return live_; }
    QList<TrendWindow*> fileWindows() const;
    MessageBoxes& messageBoxes() { return boxes_; }

private:
    static QString note(const CsvReader::Result& result);
    void track(TrendWindow* window);

    const ReadingHistory& history_;
    QWidget* owner_;
    QAction* showAction_;
    MessageBoxes boxes_;
    TrendWindow* live_ = nullptr;
    QList<QPointer<TrendWindow>> files_;
};
