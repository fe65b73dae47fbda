#pragma once

#include <QtGlobal>

#include <optional>

// Power, energy, charge and output-on time from the measured voltage and
// current as they are read. Power is the product of the latest voltage and
// current at each new reading of either; energy and charge are trapezoids
// between consecutive such samples while the output is read on. Nothing is
// integrated across an interruption (a link event), across a change of the
// output state, or across a gap longer than two polling cycles: over such a
// stretch the readings say nothing about what the load did. Times are
// milliseconds on any one clock.
class EnergyIntegral {
public:
    // Two polling cycles of 18 steps at 500 ms.
    static constexpr qint64 MaxGapMs = 2 * 18 * 500;

    struct Totals {
        double joules = 0.0;
        double coulombs = 0.0;
        qint64 onMs = 0;
    };

    void voltage(double volts, qint64 at);
    void current(double amps, qint64 at);
    void output(bool on);
    // The line was closed, lost, reopened, or polling stopped or started:
    // the readings before it do not pair with those after it.
    void interrupt();
    // Totals back to zero; the next sample starts afresh.
    void reset();

    const Totals& totals() const { return totals_; }
    // Nothing until both a voltage and a current were read.
    std::optional<double> watts() const { return watts_; }

private:
    struct Sample {
        qint64 at;
        double watts;
        double amps;
    };
    void sample(qint64 at);

    std::optional<double> volts_;
    std::optional<double> amps_;
    std::optional<double> watts_;
    std::optional<Sample> last_;
    bool on_ = false;
    Totals totals_;
};
