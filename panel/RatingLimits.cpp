#include "RatingLimits.h"

#include "app/Controls.h"
#include "app/PanelState.h"
#include "protocol/NumberText.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cmath>

namespace {

constexpr qint16 ParallelMode = 1;
constexpr qint16 SeriesMode = 2;
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

std::optional<VoltageLimits> voltageLimits(const QString& ratingText, qint16 mode) {
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
    if (mode == SeriesMode) {
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

std::optional<CurrentLimits> currentLimits(const QString& ratingText, qint16 mode) {
    const double i = NumberText::leadingNumber(withoutUnit(ratingText, u'A'));
    const double base = mode == ParallelMode ? i + i : i;
    CurrentLimits limits{i, base * SetpointMargin, base / ProtectionFloor, base * ProtectionMargin};
    if (!std::isfinite(limits.ccMax) || !std::isfinite(limits.ocpMax))
        return std::nullopt;
    return limits;
}

RatingLimits::RatingLimits(PanelState& state, Controls& ui) : state_(state), ui_(ui) {}

void RatingLimits::fillLists() {
    for (auto [list, items] : {std::pair{ui_.PowerTypeCombVol, &VoltageRatings},
                               std::pair{ui_.PowerTypeCombCur, &CurrentRatings}}) {
        list->clear();
        list->addItems(*items);
        list->setCurrentIndex(-1);
        list->clearEditText();
    }
}

void RatingLimits::PowerTypeCombVol_Click() {
    const auto limits = voltageLimits(ui_.PowerTypeCombVol->currentText(), state_.PowerMode);
    if (!limits)
        return;
    state_.SysPowerVol = limits->rating;
    state_.CVSetValueMax = limits->cvMax;
    state_.OVPSetValueMax = limits->ovpMax;
    state_.OVPSetValueMin = limits->ovpMin;
    using NumberText::blankPrefixed;
    ui_.VOLSetLab->setText(QStringLiteral("恒压值范围:") + blankPrefixed(state_.CVSetValueMin) +
                           QStringLiteral(" -") + blankPrefixed(state_.CVSetValueMax));
    ui_.OVPSetLab->setText(QStringLiteral("过压值范围:") + blankPrefixed(state_.OVPSetValueMin) +
                           QStringLiteral(" -") + blankPrefixed(state_.OVPSetValueMax));
    ui_.CVSetText->setText(NumberText::plainDecimal(state_.CVSetValueMin));
    ui_.OVPSetText->setText(NumberText::plainDecimal(state_.OVPSetValueMax));
    ui_.VOLSetCmd->setEnabled(true);
    ui_.OVPSetCmd->setEnabled(true);
}

void RatingLimits::PowerTypeCombCur_Click() {
    const auto limits = currentLimits(ui_.PowerTypeCombCur->currentText(), state_.PowerMode);
    if (!limits)
        return;
    state_.SysPowerCur = limits->rating;
    state_.CCSetValueMax = limits->ccMax;
    state_.OCPSetValueMax = limits->ocpMax;
    state_.OCPSetValueMin = limits->ocpMin;
    using NumberText::compactDecimal;
    ui_.CURSetLab->setText(QStringLiteral("恒流值范围:") + compactDecimal(state_.CCSetValueMin) +
                           QStringLiteral(" - ") + compactDecimal(state_.CCSetValueMax));
    ui_.OCPSetLab->setText(QStringLiteral("过流值范围: ") + compactDecimal(state_.OCPSetValueMin) +
                           QStringLiteral(" - ") + compactDecimal(state_.OCPSetValueMax));
    ui_.CURSetCmd->setEnabled(true);
    ui_.OCPSetCmd->setEnabled(true);
    ui_.CCSetText->setText(compactDecimal(state_.CCSetValueMin));
    ui_.OCPSetText->setText(compactDecimal(state_.OCPSetValueMax));
}
