#include "SupplyModel.h"

#include "protocol/NumberText.h"

#include <cmath>

SupplyModel::SupplyModel(QObject* parent) : QObject(parent) {}

std::optional<double> SupplyModel::number(Quantity quantity) const {
    if (!isNumber(quantity) || !known(quantity))
        return std::nullopt;
    return reading(quantity).value.toDouble();
}

std::optional<OutputState> SupplyModel::output() const {
    if (!known(Quantity::Output))
        return std::nullopt;
    return reading(Quantity::Output).value.value<OutputState>();
}

std::optional<TrackingMode> SupplyModel::mode() const {
    if (!known(Quantity::Mode))
        return std::nullopt;
    return reading(Quantity::Mode).value.value<TrackingMode>();
}

std::optional<int> SupplyModel::channel() const {
    if (!known(Quantity::Channel))
        return std::nullopt;
    return reading(Quantity::Channel).value.toInt();
}

void SupplyModel::setNumber(Quantity quantity, double value, const QDateTime& time,
                            const QString& shown) {
    Q_ASSERT(isNumber(quantity));
    set(quantity, value, time,
        shown.isEmpty() ? NumberText::readOutText(std::fabs(value), value < 0) : shown);
}

void SupplyModel::setOutput(OutputState state, const QDateTime& time) {
    set(Quantity::Output, QVariant::fromValue(state), time);
}

void SupplyModel::setMode(TrackingMode mode, const QDateTime& time) {
    set(Quantity::Mode, QVariant::fromValue(mode), time);
}

void SupplyModel::setChannel(int channel, const QDateTime& time) {
    set(Quantity::Channel, channel, time);
}

void SupplyModel::setText(Quantity quantity, const QString& text, const QDateTime& time) {
    Q_ASSERT(quantity == Quantity::Version || quantity == Quantity::Identification);
    set(quantity, text, time);
}

void SupplyModel::setLink(const QString& portName, const QString& lineSettings) {
    portName_ = portName;
    lineSettings_ = lineSettings;
}

void SupplyModel::reportLinkEvent(LinkEvent event, const QDateTime& time) {
    emit linkEvent(event, time);
}

void SupplyModel::reportNote(const QString& text, const QDateTime& time) {
    emit noted(text, time);
}

void SupplyModel::set(Quantity quantity, QVariant value, const QDateTime& time, QString shown) {
    Reading& r = readings_[index(quantity)];
    r.value = std::move(value);
    r.time = time;
    r.shown = std::move(shown);
    emit changed(quantity, r.value, r.time);
}

QString linkEventText(LinkEvent event) {
    switch (event) {
    case LinkEvent::PortOpened:
        return QStringLiteral("port opened");
    case LinkEvent::PortClosed:
        return QStringLiteral("port closed");
    case LinkEvent::PortLost:
        return QStringLiteral("port lost");
    case LinkEvent::PortReopened:
        return QStringLiteral("port reopened");
    case LinkEvent::PollingStarted:
        return QStringLiteral("polling started");
    case LinkEvent::PollingStopped:
        return QStringLiteral("polling stopped");
    }
    return QString();
}
