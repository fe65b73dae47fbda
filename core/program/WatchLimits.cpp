#include "WatchLimits.h"

#include "record/CsvFormat.h"

#include <cmath>

WatchLimits::WatchLimits(SupplyModel& model, std::function<void()> switchOff, QObject* parent)
    : QObject(parent), model_(model), switchOff_(std::move(switchOff)) {
    connect(&model_, &SupplyModel::changed, this,
            [this](Quantity quantity, const QVariant& value, const QDateTime& time) {
                if (quantity == Quantity::MeasuredVoltage || quantity == Quantity::MeasuredCurrent)
                    check(quantity, value.toDouble(), time);
            });
}

bool WatchLimits::setSettings(const Settings& settings) {
    for (const Band* band : {&settings.voltage, &settings.current}) {
        for (const std::optional<Bound>& bound : {band->lower, band->upper})
            if (bound && !std::isfinite(bound->value))
                return false;
        if (band->lower && band->upper && band->lower->value > band->upper->value)
            return false;
    }
    settings_ = settings;
    // A band changed under a standing alarm judges afresh from the next reading.
    const QDateTime now = QDateTime::currentDateTime();
    for (Quantity quantity : {Quantity::MeasuredVoltage, Quantity::MeasuredCurrent})
        if (isAlarmed(quantity))
            clear(quantity, QStringLiteral("limit cleared ") + CsvFormat::columnName(quantity),
                  now);
    return true;
}

bool WatchLimits::isAlarmed(Quantity quantity) const {
    return quantity == Quantity::MeasuredVoltage   ? voltage_.alarmed
           : quantity == Quantity::MeasuredCurrent ? current_.alarmed
                                                   : false;
}

int WatchLimits::alarmCount() const {
    return int(voltage_.alarmed) + int(current_.alarmed);
}

QString WatchLimits::exceededText(const Alarm& alarm) {
    return QStringLiteral("limit exceeded %1 %2 %3 %4")
        .arg(CsvFormat::columnName(alarm.quantity), CsvFormat::numberText(alarm.value),
             alarm.side == Side::Above ? QStringLiteral(">") : QStringLiteral("<"),
             CsvFormat::numberText(alarm.limit));
}

WatchLimits::Watch& WatchLimits::watchOf(Quantity quantity) {
    return quantity == Quantity::MeasuredVoltage ? voltage_ : current_;
}

const WatchLimits::Band& WatchLimits::bandOf(Quantity quantity) const {
    return quantity == Quantity::MeasuredVoltage ? settings_.voltage : settings_.current;
}

void WatchLimits::check(Quantity quantity, double value, const QDateTime& time) {
    const Band& band = bandOf(quantity);
    Watch& watch = watchOf(quantity);
    std::optional<Alarm> alarm;
    if (band.upper && value > band.upper->value)
        alarm = Alarm{quantity, Side::Above, value, band.upper->value, band.upper->action};
    else if (band.lower && value < band.lower->value)
        alarm = Alarm{quantity, Side::Below, value, band.lower->value, band.lower->action};

    if (!alarm) {
        if (watch.alarmed && ++watch.inside >= ClearAfter)
            clear(quantity,
                  QStringLiteral("limit cleared %1 %2")
                      .arg(CsvFormat::columnName(quantity), CsvFormat::numberText(value)),
                  time);
        return;
    }
    watch.inside = 0;
    if (watch.alarmed)
        return;
    watch.alarmed = true;
    model_.reportNote(exceededText(*alarm), time);
    emit alarmRaised(*alarm);
    emit alarmCountChanged(alarmCount());
    if (alarm->action == Action::SwitchOff && switchOff_)
        switchOff_();
}

void WatchLimits::clear(Quantity quantity, const QString& text, const QDateTime& time) {
    watchOf(quantity) = Watch{};
    model_.reportNote(text, time);
    emit alarmCleared(quantity);
    emit alarmCountChanged(alarmCount());
}
