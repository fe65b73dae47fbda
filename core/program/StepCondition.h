#pragma once

#include "supply/SupplyModel.h"

#include <QString>
#include <QStringView>

#include <optional>

// What ends a programmed step before its dwell: a measured reading crossing a
// threshold, written "I<0.05", "I>1.5", "V<3.0" or "V>12" (I the measured
// current in amperes, V the measured voltage in volts).
struct StepCondition {
    enum class Side { Below, Above };

    Quantity quantity = Quantity::MeasuredCurrent; // MeasuredVoltage or MeasuredCurrent
    Side side = Side::Below;
    double threshold = 0.0;

    // Any case, blanks allowed around the sign; the number as a list file
    // writes it ("." as the point). Nothing for any other text.
    static std::optional<StepCondition> parse(QStringView text);
    // "I<0.05", in the shortest number that reads back the same.
    QString text() const;
    // Strictly beyond the threshold: a reading that equals it goes on.
    bool metBy(double reading) const;
    // "measured_current_A 0.049 < 0.05", as a recording names the reading.
    QString metText(double reading) const;

    bool operator==(const StepCondition& other) const {
        return quantity == other.quantity && side == other.side && threshold == other.threshold;
    }
};
