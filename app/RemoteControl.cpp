#include "RemoteControl.h"

#include "MessageLine.h"
#include "ReadoutMenu.h"
#include "control/RunController.h"

#include <QAction>
#include <QLabel>
#include <QSignalBlocker>
#include <QWidget>

#include <cstdio>

RemoteControl::RemoteControl(QWidget& window, RunController& controller, ReadoutMenu& menu,
                             MessageLine& message, const QRect& indicatorPlace)
    : QObject(&window), controller_(controller), message_(message), entry_(new QAction(this)),
      indicator_(new QLabel(&window)) {
    entry_->setObjectName(QStringLiteral("RemoteControl"));
    entry_->setText(tr("远程控制 (SCPI)"));
    entry_->setCheckable(true);
    entry_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    menu.addAction(entry_);
    connect(entry_, &QAction::toggled, this, [this](bool on) {
        if (on)
            start();
        else
            stop();
    });

    indicator_->setObjectName(QStringLiteral("RemoteIndicator"));
    indicator_->setTextFormat(Qt::PlainText);
    indicator_->setGeometry(indicatorPlace);
    indicator_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    indicator_->setAttribute(Qt::WA_TransparentForMouseEvents);
    indicator_->hide();
    connect(&controller_, &RunController::remoteOpened, this, [this](RemoteAccess* remote) {
        connect(remote, &RemoteAccess::scpiClientCountChanged, this, &RemoteControl::showClients);
    });
}

RemoteAccess* RemoteControl::server() const {
    return controller_.remote();
}

QRect RemoteControl::indicatorPlace(const QRect& recordingPlace) {
    constexpr int Width = 68;
    constexpr int Gap = 4;
    return QRect(recordingPlace.left() - Gap - Width, recordingPlace.top(), Width,
                 recordingPlace.height());
}

void RemoteControl::configure(quint16 port, const QStringList& extraAddresses) {
    port_ = port;
    extra_ = extraAddresses;
}

bool RemoteControl::start() {
    QString error;
    RemoteAccess* remote = controller_.openRemote(&error);
    if (remote && remote->isScpiListening())
        return true;
    const bool listening = remote && remote->listenScpi(port_, extra_, &error);
    {
        const QSignalBlocker quiet(entry_);
        entry_->setChecked(listening);
    }
    if (!listening) {
        message_.show(tr("远程控制无法启动：") + error);
        return false;
    }
    for (const QString& address : extra_)
        std::fprintf(stderr,
                     "velmor-monitor: SCPI server listening on %s port %u without "
                     "authentication: whoever reaches it drives the supply\n",
                     qPrintable(address), unsigned(remote->scpiPort()));
    return true;
}

void RemoteControl::stop() {
    if (RemoteAccess* remote = controller_.remote())
        remote->closeScpi();
    const QSignalBlocker quiet(entry_);
    entry_->setChecked(false);
}

void RemoteControl::showClients(int count) {
    indicator_->setText(tr("远程 %1").arg(count));
    indicator_->setVisible(count > 0);
}
