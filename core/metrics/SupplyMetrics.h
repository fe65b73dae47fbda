#pragma once

#include "supply/SupplyModel.h"

#include <QObject>
#include <QString>

#include <prometheus/labels.h>

#include <array>
#include <memory>

class CsvRecorder;
class EnergyMeter;
class SupplyLink;
class WatchLimits;

namespace prometheus {
class Counter;
class Exposer;
class Gauge;
template <typename T> class Family;
class Registry;
} // namespace prometheus

// What one supply's run shows to a Prometheus server at /metrics: the six
// read-outs in base units, output, tracking mode and channel, port and
// polling state, the time of each quantity's last reading and the link's
// counters, the watch limits' alarms, and the meter's power, energy, charge and output-on time,
// all labelled with the run's port. A quantity not read yet
// has no sample. The page is served by prometheus-cpp's own HTTP server on its own threads; the
// values are set here, on the thread of the link.
class SupplyMetrics : public QObject {
    Q_OBJECT
public:
    SupplyMetrics(SupplyLink& link, const CsvRecorder& recorder, const WatchLimits& watch,
                  const EnergyMeter& meter, QObject* parent = nullptr);
    ~SupplyMetrics() override;

    // Serves the page on `where`, "127.0.0.1:9469" or "[::1]:9469" as the
    // HTTP server takes it, with `portLabel` as the port label. False, with
    // a one-line reason in `error`, when the address cannot be bound (in
    // use, not this machine's).
    bool listen(const QString& where, const QString& portLabel, QString* error);
    bool isListening() const { return exposer_ != nullptr; }
    // The port the page is served on (the one chosen for port 0).
    quint16 listeningPort() const;

    // A lost line was opened again.
    void countReconnection();

private:
    void build();
    void onChanged(Quantity quantity, const QVariant& value, const QDateTime& time);
    void showLink();
    void syncReplies();
    void showAlarms();
    void showMeter();
    // Counters follow the meter's totals; a reset of the meter starts the
    // counter again from zero, which Prometheus reads as a counter reset.
    void follow(prometheus::Family<prometheus::Counter>& family, prometheus::Counter*& counter,
                double total);

    SupplyLink& link_;
    const WatchLimits& watch_;
    const EnergyMeter& meter_;
    std::shared_ptr<prometheus::Registry> registry_;
    std::unique_ptr<prometheus::Exposer> exposer_;
    prometheus::Labels labels_;

    prometheus::Family<prometheus::Gauge>* readingFamilies_[6] = {};
    std::array<prometheus::Gauge*, 6> readings_{};
    prometheus::Family<prometheus::Gauge>* outputFamily_ = nullptr;
    prometheus::Gauge* output_ = nullptr;
    prometheus::Family<prometheus::Gauge>* modeFamily_ = nullptr;
    std::array<prometheus::Gauge*, 3> modes_{};
    prometheus::Family<prometheus::Gauge>* channelFamily_ = nullptr;
    prometheus::Gauge* channel_ = nullptr;
    prometheus::Family<prometheus::Gauge>* readTimeFamily_ = nullptr;
    std::array<prometheus::Gauge*, QuantityCount> readTimes_{};
    prometheus::Gauge* portOpen_ = nullptr;
    prometheus::Gauge* polling_ = nullptr;
    prometheus::Counter* bytesReceived_ = nullptr;
    prometheus::Counter* repliesDecoded_ = nullptr;
    prometheus::Counter* repliesRejected_ = nullptr;
    prometheus::Counter* reconnections_ = nullptr;
    prometheus::Counter* recordedRows_ = nullptr;
    std::array<prometheus::Gauge*, 2> alarms_{};
    prometheus::Family<prometheus::Gauge>* powerFamily_ = nullptr;
    prometheus::Gauge* power_ = nullptr;
    struct MeterCounter {
        prometheus::Family<prometheus::Counter>* family = nullptr;
        prometheus::Counter* counter = nullptr;
    };
    MeterCounter energy_;
    MeterCounter charge_;
    MeterCounter onTime_;
};
