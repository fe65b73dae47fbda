#include "ReadoutMenu.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

ReadoutMenu::ReadoutMenu(QWidget& frame) : QObject(&frame), menu_(new QMenu(&frame)) {
    menu_->setObjectName(QStringLiteral("ReadoutMenu"));
    start_ = menu_->addAction(tr("开始记录…"));
    start_->setObjectName(QStringLiteral("StartRecording"));
    stop_ = menu_->addAction(tr("停止记录"));
    stop_->setObjectName(QStringLiteral("StopRecording"));
    menu_->addSeparator();
    reconnect_ = menu_->addAction(tr("自动重连"));
    reconnect_->setObjectName(QStringLiteral("AutoReconnect"));
    reconnect_->setCheckable(true);
    setRecording(false);

    // The read-outs inside the frame leave the context menu event to it.
    frame.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&frame, &QWidget::customContextMenuRequested, this,
            [this, &frame](const QPoint& at) { menu_->popup(frame.mapToGlobal(at)); });
}

void ReadoutMenu::addAction(QAction* action) {
    if (!hasExtras_)
        menu_->addSeparator();
    hasExtras_ = true;
    menu_->addAction(action);
}

void ReadoutMenu::setRecording(bool recording) {
    start_->setEnabled(!recording);
    stop_->setEnabled(recording);
}
