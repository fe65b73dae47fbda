#include "RatingLimits.h"

#include "protocol/NumberText.h"

#include <cmath>

namespace {

constexpr double SetpointMargin = 1.05;
constexpr double ProtectionMargin = 1.1;
constexpr double ProtectionFloor = 10.0;

QString withoutUnit(QString text, QChar unit) {
    text.remove(unit);
    text.remove(u' ');
    return text;
}

} // namespace

const QStringList RatingLimits::VoltageRatings = {
    QStringLiteral(" 5  V"), QStringLiteral("10  V"), QStringLiteral("15  V"),
    QStringLiteral("18  V"), QStringLiteral("20  V"), QStringLiteral("25  V"),
    QStringLiteral("30  V"), QStringLiteral("35  V"), QStringLiteral("50  V"),
    QStringLiteral("70  V"), QStringLiteral("75  V"), QStringLiteral("100 V"),
    QStringLiteral("110 V"), QStringLiteral("150 V"), QStringLiteral("200 V"),
    QStringLiteral("250 V"), QStringLiteral("300 V"), QStringLiteral("350 V"),
    QStringLiteral("500 V"),
};

const QStringList RatingLimits::CurrentRatings = {
    QStringLiteral("0.1 A"), QStringLiteral("0.2 A"), QStringLiteral("0.3 A"),
    QStringLiteral("0.5 A"), QStringLiteral("0.6 A"), QStringLiteral("0.8 A"),
    QStringLiteral("1   A"), QStringLiteral("1.5 A"), QStringLiteral("2   A"),
    QStringLiteral("2.5 A"), QStringLiteral("3   A"), QStringLiteral("3.5 A"),
    QStringLiteral("4   A"), QStringLiteral("4.5 A"), QStringLiteral("5   A"),
};

std::optional<VoltageLimits> voltageLimits(const QString& ratingText, TrackingMode mode) {
    const auto rating =
        NumberText::toInt16(NumberText::leadingNumber(withoutUnit(ratingText, u'V')));
    if (!rating)
        return std::nullopt;
    const int r = *rating;
    VoltageLimits limits;
    limits.rating = *rating;
    limits.cvMax = r * SetpointMargin;
    limits.ovpMax = r * ProtectionMargin;
    limits.ovpMin = r / ProtectionFloor;
    if (mode == TrackingMode::Series) {
        // The doubled rating is itself a 16-bit quantity.
        const int doubled = 2 * r;
        if (doubled < -32768 || doubled > 32767)
            return std::nullopt;
        limits.cvMax = 2 * (r * SetpointMargin);
        limits.ovpMax = doubled * ProtectionMargin;
        limits.ovpMin = doubled / ProtectionFloor;
    }
    return limits;
}

std::optional<CurrentLimits> currentLimits(const QString& ratingText, TrackingMode mode) {
    const double i = NumberText::leadingNumber(withoutUnit(ratingText, u'A'));
    const double base = mode == TrackingMode::Parallel ? i + i : i;
    CurrentLimits limits{i, base * SetpointMargin, base / ProtectionFloor, base * ProtectionMargin};
    if (!std::isfinite(limits.ccMax) || !std::isfinite(limits.ocpMax))
        return std::nullopt;
    return limits;
}

RatingLimits::RatingLimits(const LinkState& state, QObject* parent)
    : QObject(parent), state_(state) {}

void RatingLimits::applyVoltageRating() {
    const auto limits = voltageLimits(voltageText_, state_.mode);
    if (!limits)
        return;
    limits_.SysPowerVol = limits->rating;
    limits_.CVSetValueMax = limits->cvMax;
    limits_.OVPSetValueMax = limits->ovpMax;
    limits_.OVPSetValueMin = limits->ovpMin;
    emit voltageLimitsApplied(limits_);
}

void RatingLimits::applyCurrentRating() {
    const auto limits = currentLimits(currentText_, state_.mode);
    if (!limits)
        return;
    limits_.SysPowerCur = limits->rating;
    limits_.CCSetValueMax = limits->ccMax;
    limits_.OCPSetValueMax = limits->ocpMax;
    limits_.OCPSetValueMin = limits->ocpMin;
    emit currentLimitsApplied(limits_);
}

void RatingLimits::followMode() {
    if (state_.mode == PowerModeBack_)
        return;
    PowerModeBack_ = state_.mode;
    applyVoltageRating();
    applyCurrentRating();
}
