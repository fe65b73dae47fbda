#pragma once

#include <QString>
#include <QStringList>

#include <optional>

struct Controls;
struct PanelState;

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

// The limits for a rating list's text in a tracking mode (0 independent,
// 1 parallel, 2 series): series doubles the voltage half, parallel the
// current half. Nothing when the rating does not fit (a voltage beyond 16
// bits, or its double in series mode; a current whose limits are not
// finite).
std::optional<VoltageLimits> voltageLimits(const QString& ratingText, qint16 mode);
std::optional<CurrentLimits> currentLimits(const QString& ratingText, qint16 mode);

// The two rating lists and the setpoint limits, captions, entries and set
// buttons that follow from them.
class RatingLimits {
public:
    static const QStringList VoltageRatings;
    static const QStringList CurrentRatings;

    RatingLimits(PanelState& state, Controls& ui);

    // Fills both lists, selecting nothing.
    void fillLists();

    void PowerTypeCombVol_Click();
    void PowerTypeCombCur_Click();

private:
    PanelState& state_;
    Controls& ui_;
};
