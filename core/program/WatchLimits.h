#pragma once

#include "supply/SupplyModel.h"

#include <QObject>

#include <functional>
#include <optional>

// Watches the measured voltage and current for leaving a band the operator
// set: a reading outside raises the alarm once (no repeat while the
// readings stay outside), and two readings in a row back inside clear it.
// Each alarm and clearing is a note of the supply model, so a recording
// gets it; an alarm may ask for the output to be switched off.
class WatchLimits : public QObject {
    Q_OBJECT
public:
    enum class Action { Note, SwitchOff };
    enum class Side { Below, Above };
    // Readings back inside that clear an alarm.
    static constexpr int ClearAfter = 2;

    struct Bound {
        double value = 0.0;
        Action action = Action::Note;
    };
    struct Band {
        std::optional<Bound> lower;
        std::optional<Bound> upper;
    };
    struct Settings {
        Band voltage;
        Band current;
    };
    struct Alarm {
        Quantity quantity; // MeasuredVoltage or MeasuredCurrent
        Side side;
        double value;
        double limit;
        Action action;
    };

    // `switchOff` switches the output off (and ends a programmed run) for
    // an alarm that asks for it.
    WatchLimits(SupplyModel& model, std::function<void()> switchOff, QObject* parent = nullptr);

    // False, and nothing changed, when a bound is not a finite number or a
    // band's lower bound lies above its upper. Alarms standing are cleared.
    bool setSettings(const Settings& settings);
    const Settings& settings() const { return settings_; }
    bool isAlarmed(Quantity quantity) const;
    int alarmCount() const;

    // "limit exceeded measured_current_A 1.25 > 1.2"
    static QString exceededText(const Alarm& alarm);

signals:
    void alarmRaised(const WatchLimits::Alarm& alarm);
    void alarmCleared(Quantity quantity);
    // The number of quantities in alarm changed (for a gauge).
    void alarmCountChanged(int count);

private:
    struct Watch {
        bool alarmed = false;
        int inside = 0;
    };
    void check(Quantity quantity, double value, const QDateTime& time);
    void clear(Quantity quantity, const QString& text, const QDateTime& time);
    Watch& watchOf(Quantity quantity);
    const Band& bandOf(Quantity quantity) const;

    SupplyModel& model_;
    std::function<void()> switchOff_;
    Settings settings_;
    Watch voltage_;
    Watch current_;
};

Q_DECLARE_METATYPE(WatchLimits::Alarm)
