#include "ScpiWatchdog.h"

#include "supply/SupplyModel.h"

#include <QDateTime>

ScpiWatchdog::ScpiWatchdog(SupplyModel& model, QString client, std::function<void()> switchOff,
                           QObject* parent)
    : QObject(parent), model_(model), client_(std::move(client)), switchOff_(std::move(switchOff)) {
    silence_.setSingleShot(true);
    connect(&silence_, &QTimer::timeout, this,
            [this] { fire(QStringLiteral("nothing received for %1 s").arg(seconds_)); });
}

bool ScpiWatchdog::arm(int seconds) {
    if (seconds != 0 && (seconds < Shortest || seconds > Longest))
        return false;
    seconds_ = seconds;
    if (seconds_ == 0)
        silence_.stop();
    else
        silence_.start(seconds_ * 1000);
    return true;
}

void ScpiWatchdog::heard() {
    if (seconds_ != 0)
        silence_.start(seconds_ * 1000);
}

void ScpiWatchdog::connectionLost() {
    if (seconds_ != 0)
        fire(QStringLiteral("connection dropped"));
}

void ScpiWatchdog::fire(const QString& why) {
    // Disarmed first: the switch-off may fail this client's waiting
    // requests, and nothing of that may fire it again.
    silence_.stop();
    seconds_ = 0;
    model_.reportNote(QStringLiteral("script watchdog of client %1 switched the output off: %2")
                          .arg(client_, why),
                      QDateTime::currentDateTime());
    if (switchOff_)
        switchOff_();
}
