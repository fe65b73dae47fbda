#pragma once

#include "MessageBoxes.h"
#include "record/CsvReader.h"

#include <QList>
#include <QObject>
#include <QPluginLoader>
#include <QPointer>
#include <QStringList>

class QAction;
class QWidget;
class ReadingHistory;
class TrendModule;

// The trend windows of the panel: the one live window, made when first
// shown and only hidden when closed, so that opening it again shows
// everything since start-up; and one window per recording opened, gone
// when closed. All are windows of their own that belong to the owner
// (the main window): they close with it. The windows live in the trend
// module, loaded when the first of them opens.
class TrendWindows : public QObject {
    Q_OBJECT
public:
    TrendWindows(const ReadingHistory& live, QWidget* owner);

    // "趋势图" with Ctrl+T: shows the live window. For the owner's context
    // menu and, added to the owner, for the shortcut.
    QAction* showAction() const { return showAction_; }

    // Null, after a box, when the module cannot be loaded.
    QWidget* showLive();
    // A window of its own for the recording; nothing but a box when it
    // cannot be read.
    QWidget* openFile(const QString& path);

    QWidget* liveWindow() const { return live_; }
    QList<QWidget*> fileWindows() const;
    MessageBoxes& messageBoxes() { return boxes_; }

private:
    static QString note(const CsvReader::Result& result);
    TrendModule* module();
    void track(QWidget* window);

    const ReadingHistory& history_;
    QWidget* owner_;
    QAction* showAction_;
    MessageBoxes boxes_;
    QPluginLoader loader_;
    TrendModule* module_ = nullptr;
    QWidget* live_ = nullptr;
    QList<QPointer<QWidget>> files_;
};
