#pragma once

#include "EnergyIntegral.h"
#include "supply/SupplyModel.h"

#include <QObject>
#include <QString>

#include <optional>

// The power drawn from the supply and the energy, charge and output-on time
// since the program started or the meter was last reset, from the model's
// readings (see EnergyIntegral for what is integrated). A reset is a note of
// the model, so a recording shows where the count began.
class EnergyMeter : public QObject {
    Q_OBJECT
public:
    explicit EnergyMeter(SupplyModel& model, QObject* parent = nullptr);

    std::optional<double> watts() const { return integral_.watts(); }
    double joules() const { return integral_.totals().joules; }
    double wattHours() const { return joules() / 3600.0; }
    double coulombs() const { return integral_.totals().coulombs; }
    double ampHours() const { return coulombs() / 3600.0; }
    double outputOnSeconds() const { return double(integral_.totals().onMs) / 1000.0; }

    // Everything back to zero, by the operator or a script client.
    void reset();

    // "energy 1.2345 Wh charge 0.2469 Ah output on 3600 s"
    QString summaryText() const;

signals:
    // A reading, an interruption or a reset changed what the meter shows.
    void updated();

private:
    void onChanged(Quantity quantity, const QVariant& value, const QDateTime& time);

    SupplyModel& model_;
    EnergyIntegral integral_;
};
