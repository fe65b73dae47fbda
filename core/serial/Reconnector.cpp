#include "Reconnector.h"

Reconnector::Reconnector(Attempt attempt, int intervalMs, QObject* parent)
    : QObject(parent), attempt_(std::move(attempt)) {
    timer_.setInterval(intervalMs);
    connect(&timer_, &QTimer::timeout, this, &Reconnector::tryOnce);
}

void Reconnector::setEnabled(bool enabled) {
    enabled_ = enabled;
    if (!enabled)
        stop();
}

void Reconnector::start() {
    if (enabled_ && !timer_.isActive())
        timer_.start();
}

void Reconnector::stop() {
    timer_.stop();
}

void Reconnector::tryOnce() {
    if (attempt_()) {
        timer_.stop();
        emit reopened();
    }
}
