#pragma once

#include "LinkState.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

// Limits of the voltage half (CV and OVP) for a rated voltage.
struct VoltageLimits {
    qint16 rating = 0;
    double cvMax = 0.0;
    double ovpMin = 0.0;
    double ovpMax = 0.0;
};

// Limits of the current half (CC and OCP) for a rated current.
struct CurrentLimits {
    double rating = 0.0;
    double ccMax = 0.0;
    double ocpMin = 0.0;
    double ocpMax = 0.0;
};

// The limits for a rating list's text in a tracking mode: series doubles the voltage half, parallel
// the current half. Nothing when the rating does not fit (a voltage beyond 16 bits, or its double
// in series mode; a current whose limits are not finite).
std::optional<VoltageLimits> voltageLimits(const QString& ratingText, TrackingMode mode);
std::optional<CurrentLimits> currentLimits(const QString& ratingText, TrackingMode mode);

// The setpoint limits in force and the rating they were derived from. The
// two minimums of the setpoints stay 0.
struct SetpointLimits {
    qint16 SysPowerVol = 0;
    double SysPowerCur = 0.0;
    double CVSetValueMax = 0.0;
    double CCSetValueMax = 0.0;
    double OVPSetValueMax = 0.0;
    double OCPSetValueMax = 0.0;
    double CVSetValueMin = 0.0;
    double CCSetValueMin = 0.0;
    double OVPSetValueMin = 0.0;
    double OCPSetValueMin = 0.0;
};

// The two ratings chosen on the panel and the setpoint limits that follow
// from them in the tracking mode in force. The rating texts are those the
// lists show now; applying a half recomputes it from its text.
class RatingLimits : public QObject {
    Q_OBJECT
public:
    static const QStringList VoltageRatings;
    static const QStringList CurrentRatings;

    explicit RatingLimits(const LinkState& state, QObject* parent = nullptr);

    const SetpointLimits& limits() const { return limits_; }

    void setVoltageRatingText(const QString& text) { voltageText_ = text; }
    void setCurrentRatingText(const QString& text) { currentText_ = text; }

    // Recomputes one half from its rating text; a rating that does not fit
    // leaves everything as it was.
    void applyVoltageRating();
    void applyCurrentRating();

    // A mode report: when the mode in force is not the one the limits were
    // last made to follow, both halves are recomputed, voltage first. A
    // rating list's own recomputation does not count as following a mode,
    // so the next report after a new selection recomputes in any case.
    void followMode();
    // The mode the limits last followed (independent at start).
    TrackingMode followedMode() const { return PowerModeBack_; }

signals:
    // A half was recomputed: the captions, entries and set buttons follow.
    void voltageLimitsApplied(const SetpointLimits& limits);
    void currentLimitsApplied(const SetpointLimits& limits);

private:
    const LinkState& state_;
    TrackingMode PowerModeBack_ = TrackingMode::Independent;
    SetpointLimits limits_;
    QString voltageText_;
    QString currentText_;
};
