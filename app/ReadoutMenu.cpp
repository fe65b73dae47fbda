#include "ReadoutMenu.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

namespace {

// The menu shows a shortcut that is not the entry's own (one key for two
// entries) after a tab, where it shows an entry's own shortcut.
QString withShortcut(const QString& text, const QKeySequence& key) {
    return text + u'\t' + key.toString(QKeySequence::NativeText);
}

} // namespace

ReadoutMenu::ReadoutMenu(QWidget& frame)
    : QObject(&frame), frame_(frame), menu_(new QMenu(&frame)) {
    menu_->setObjectName(QStringLiteral("ReadoutMenu"));
    start_ = menu_->addAction(withShortcut(tr("开始记录…"), recordingShortcut()));
    start_->setObjectName(QStringLiteral("StartRecording"));
    stop_ = menu_->addAction(withShortcut(tr("停止记录"), recordingShortcut()));
    stop_->setObjectName(QStringLiteral("StopRecording"));
    menu_->addSeparator();
    reconnect_ = menu_->addAction(tr("自动重连"));
    reconnect_->setObjectName(QStringLiteral("AutoReconnect"));
    reconnect_->setCheckable(true);
    reconnect_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
    reconnect_->setShortcutVisibleInContextMenu(true);
    frame.addAction(reconnect_);
    aboutSeparator_ = menu_->addSeparator();
    about_ = menu_->addAction(tr("关于…"));
    about_->setObjectName(QStringLiteral("About"));
    about_->setShortcut(QKeySequence(Qt::Key_F1));
    about_->setShortcutVisibleInContextMenu(true);
    frame.addAction(about_);
    setRecording(false);

    frame.setToolTip(hint());
    // The read-outs inside the frame leave the context menu event to it.
    frame.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&frame, &QWidget::customContextMenuRequested, this,
            [this, &frame](const QPoint& at) { menu_->popup(frame.mapToGlobal(at)); });
}

QString ReadoutMenu::hint() {
    return tr("右键单击此处或窗口的空白处打开菜单：\n"
              "记录、自动重连、趋势图、程序运行、监视限值、远程控制、能量计、输出定时、关于");
}

void ReadoutMenu::addAction(QAction* action) {
    if (!hasExtras_)
        menu_->insertSeparator(aboutSeparator_);
    hasExtras_ = true;
    menu_->insertAction(aboutSeparator_, action);
    action->setShortcutVisibleInContextMenu(true);
    if (!action->shortcut().isEmpty())
        frame_.addAction(action);
}

void ReadoutMenu::openAnywhereIn(QWidget& window) {
    // Controls with a menu of their own (the text fields, the log) take the
    // event; every other control passes it up to the window.
    window.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&window, &QWidget::customContextMenuRequested, this,
            [this, &window](const QPoint& at) { menu_->popup(window.mapToGlobal(at)); });
}

void ReadoutMenu::setRecording(bool recording) {
    start_->setEnabled(!recording);
    stop_->setEnabled(recording);
}
