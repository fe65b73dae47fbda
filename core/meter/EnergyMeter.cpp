#include "EnergyMeter.h"

EnergyMeter::EnergyMeter(SupplyModel& model, QObject* parent) : QObject(parent), model_(model) {
    connect(&model_, &SupplyModel::changed, this, &EnergyMeter::onChanged);
    connect(&model_, &SupplyModel::linkEvent, this, [this] {
        integral_.interrupt();
        emit updated();
    });
}

void EnergyMeter::onChanged(Quantity quantity, const QVariant& value, const QDateTime& time) {
    const qint64 at = time.toMSecsSinceEpoch();
    switch (quantity) {
    case Quantity::MeasuredVoltage:
        integral_.voltage(value.toDouble(), at);
        break;
    case Quantity::MeasuredCurrent:
        integral_.current(value.toDouble(), at);
        break;
    case Quantity::Output:
        integral_.output(value.value<OutputState>() == OutputState::On);
        break;
    default:
        return;
    }
    emit updated();
}

void EnergyMeter::reset() {
    integral_.reset();
    model_.reportNote(QStringLiteral("meter reset"), QDateTime::currentDateTime());
    emit updated();
}

QString EnergyMeter::summaryText() const {
    return QStringLiteral("energy %1 Wh charge %2 Ah output on %3 s")
        .arg(QString::number(wattHours(), 'f', 4), QString::number(ampHours(), 'f', 4),
             QString::number(qint64(outputOnSeconds())));
}
