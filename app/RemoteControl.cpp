#include "RemoteControl.h"

#include "MessageLine.h"
#include "ReadoutMenu.h"

#include <QAction>
#include <QLabel>
#include <QSignalBlocker>
#include <QWidget>

#include <cstdio>

RemoteControl::RemoteControl(QWidget& window, ScpiServer& server, ReadoutMenu& menu,
                             MessageLine& message, const QRect& indicatorPlace)
    : QObject(&window), server_(server), message_(message), entry_(new QAction(this)),
      indicator_(new QLabel(&window)) {
    entry_->setObjectName(QStringLiteral("RemoteControl"));
    entry_->setText(tr("远程控制 (SCPI)"));
    entry_->setCheckable(true);
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
    connect(&server_, &ScpiServer::clientCountChanged, this, &RemoteControl::showClients);
}

QRect RemoteControl::indicatorPlace(const QRect& recordingPlace) {
    constexpr int Width = 68;
    constexpr int Gap = 4;
    return QRect(recordingPlace.left() - Gap - Width, recordingPlace.top(), Width,
                 recordingPlace.height());
}

void RemoteControl::configure(quint16 port, const QList<QHostAddress>& extraAddresses) {
    port_ = port;
    extra_ = extraAddresses;
}

bool RemoteControl::start() {
    if (server_.isListening())
        return true;
    QString error;
    const bool listening = server_.listen(port_, extra_, &error);
    {
        const QSignalBlocker quiet(entry_);
        entry_->setChecked(listening);
    }
    if (!listening) {
        message_.show(tr("远程控制无法启动：") + error);
        return false;
    }
    for (const QHostAddress& address : extra_)
        std::fprintf(stderr,
                     "velmor-monitor: SCPI server listening on %s port %u without "
                     "authentication: whoever reaches it drives the supply\n",
                     qPrintable(address.toString()), unsigned(server_.serverPort()));
    return true;
}

void RemoteControl::stop() {
    server_.close();
    const QSignalBlocker quiet(entry_);
    entry_->setChecked(false);
}

void RemoteControl::showClients(int count) {
    indicator_->setText(tr("远程 %1").arg(count));
    indicator_->setVisible(count > 0);
}
