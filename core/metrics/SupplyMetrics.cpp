#include "SupplyMetrics.h"

#include "meter/EnergyMeter.h"
#include "program/WatchLimits.h"
#include "record/CsvRecorder.h"
#include "supply/SupplyLink.h"

#include <algorithm>

#include <prometheus/counter.h>
#include <prometheus/exposer.h>
#include <prometheus/family.h>
#include <prometheus/gauge.h>
#include <prometheus/registry.h>

#include <exception>

namespace {

struct ReadingName {
    const char* name;
    const char* help;
};

// In the order of the model's number quantities.
constexpr ReadingName kReadings[] = {
    {"velmor_measured_voltage_volts", "Output voltage measured by the supply."},
    {"velmor_measured_current_amperes", "Output current measured by the supply."},
    {"velmor_set_voltage_volts", "Constant-voltage setpoint as the supply reports it."},
    {"velmor_set_current_amperes", "Constant-current setpoint as the supply reports it."},
    {"velmor_over_voltage_protection_volts", "Over-voltage protection level."},
    {"velmor_over_current_protection_amperes", "Over-current protection level."},
};

// Label values of the quantities, as a query names them.
constexpr const char* kQuantityNames[QuantityCount] = {
    "measured_voltage", "measured_current", "set_voltage",   "set_current",
    "over_voltage",     "over_current",     "output",        "mode",
    "channel",          "version",          "identification"};

constexpr const char* kModeNames[] = {"independent", "parallel", "series"};

prometheus::Labels with(prometheus::Labels labels, const char* name, const char* value) {
    labels.emplace(name, value);
    return labels;
}

} // namespace

SupplyMetrics::SupplyMetrics(SupplyLink& link, const CsvRecorder& recorder,
                             const WatchLimits& watch, const EnergyMeter& meter, QObject* parent)
    : QObject(parent), link_(link), watch_(watch), meter_(meter),
      registry_(std::make_shared<prometheus::Registry>()) {
    connect(&meter, &EnergyMeter::updated, this, [this] { showMeter(); });
    connect(&watch, &WatchLimits::alarmCountChanged, this, [this] { showAlarms(); });
    connect(&link.model(), &SupplyModel::changed, this, &SupplyMetrics::onChanged);
    connect(&link.model(), &SupplyModel::linkEvent, this, [this] { showLink(); });
    connect(&link.MSComm(), &SerialControl::bytesRead, this, [this](qint64 count) {
        if (bytesReceived_)
            bytesReceived_->Increment(double(count));
    });
    // Rejections happen without a reading; the tick is when they are taken up.
    connect(&link.polling(), &PollingCycle::ticked, this, [this] { syncReplies(); });
    connect(&recorder, &CsvRecorder::rowsWritten, this, [this] {
        if (recordedRows_)
            recordedRows_->Increment();
    });
}

SupplyMetrics::~SupplyMetrics() = default;

bool SupplyMetrics::listen(const QString& where, const QString& portLabel, QString* error) {
    try {
        // One thread answers: a scrape takes a lock per family and nothing
        // more, and a second server thread would only cost memory.
        exposer_ = std::make_unique<prometheus::Exposer>(where.toStdString(), 1);
    } catch (const std::exception&) {
        if (error)
            *error = QStringLiteral("cannot serve metrics on ") + where +
                     QStringLiteral(": the address is in use or not on this machine");
        return false;
    }
    labels_ = {{"port", portLabel.toStdString()}};
    build();
    exposer_->RegisterCollectable(registry_);
    return true;
}

quint16 SupplyMetrics::listeningPort() const {
    if (!exposer_)
        return 0;
    const std::vector<int> ports = exposer_->GetListeningPorts();
    return ports.empty() ? 0 : quint16(ports.front());
}

void SupplyMetrics::build() {
    using prometheus::BuildCounter;
    using prometheus::BuildGauge;
    prometheus::Registry& r = *registry_;
    for (int i = 0; i < 6; ++i)
        readingFamilies_[i] =
            &BuildGauge().Name(kReadings[i].name).Help(kReadings[i].help).Register(r);
    outputFamily_ = &BuildGauge()
                         .Name("velmor_output_on")
                         .Help("1 while the supply reports its output on, 0 while off.")
                         .Register(r);
    modeFamily_ = &BuildGauge()
                       .Name("velmor_tracking_mode")
                       .Help("1 for the tracking mode the supply reports, 0 for the others.")
                       .Register(r);
    channelFamily_ = &BuildGauge()
                          .Name("velmor_channel")
                          .Help("Channel the supply reports (1 or 2).")
                          .Register(r);
    readTimeFamily_ = &BuildGauge()
                           .Name("velmor_last_reading_timestamp_seconds")
                           .Help("Time of the quantity's last reading, in seconds since 1970.")
                           .Register(r);
    portOpen_ = &BuildGauge()
                     .Name("velmor_port_open")
                     .Help("1 while the serial port is open.")
                     .Register(r)
                     .Add(labels_);
    polling_ = &BuildGauge()
                    .Name("velmor_polling")
                    .Help("1 while the supply is being polled.")
                    .Register(r)
                    .Add(labels_);
    const auto counter = [&r, this](const char* name, const char* help) {
        return &BuildCounter().Name(name).Help(help).Register(r).Add(labels_);
    };
    bytesReceived_ = counter("velmor_received_bytes_total", "Bytes received on the serial line.");
    repliesDecoded_ =
        counter("velmor_replies_decoded_total", "Replies of the supply that gave a reading.");
    repliesRejected_ = counter("velmor_replies_rejected_total",
                               "Replies dropped without a reading: garbled, late or unasked.");
    reconnections_ = counter("velmor_reconnections_total", "Lost lines opened again.");
    recordedRows_ = counter("velmor_recorded_rows_total", "Rows written to recordings.");
    auto& alarmFamily = BuildGauge()
                            .Name("velmor_limit_alarm")
                            .Help("1 while the quantity's reading stands outside its watch limits.")
                            .Register(r);
    alarms_ = {&alarmFamily.Add(with(labels_, "quantity", kQuantityNames[0])),
               &alarmFamily.Add(with(labels_, "quantity", kQuantityNames[1]))};
    powerFamily_ = &BuildGauge()
                        .Name("velmor_power_watts")
                        .Help("Measured voltage times measured current at the latest reading.")
                        .Register(r);
    const auto meterCounter = [&r](const char* name, const char* help) {
        return &BuildCounter().Name(name).Help(help).Register(r);
    };
    energy_.family = meterCounter("velmor_output_energy_joules_total",
                                  "Energy delivered while the output was read on, since start "
                                  "or the last meter reset.");
    charge_.family = meterCounter("velmor_output_charge_coulombs_total",
                                  "Charge delivered while the output was read on, since start "
                                  "or the last meter reset.");
    onTime_.family = meterCounter("velmor_output_on_seconds_total",
                                  "Time between readings that found the output on, since start "
                                  "or the last meter reset.");
    showLink();
    showAlarms();
    showMeter();
    syncReplies();
    // Whatever was read before the page was served is on it at once.
    for (int q = 0; q < QuantityCount; ++q) {
        const auto quantity = static_cast<Quantity>(q);
        const SupplyModel::Reading& reading = link_.model().reading(quantity);
        if (reading.time.isValid())
            onChanged(quantity, reading.value, reading.time);
    }
}

void SupplyMetrics::onChanged(Quantity quantity, const QVariant& value, const QDateTime& time) {
    if (!exposer_)
        return;
    const int q = int(quantity);
    if (!readTimes_[q])
        readTimes_[q] = &readTimeFamily_->Add(with(labels_, "quantity", kQuantityNames[q]));
    readTimes_[q]->Set(double(time.toMSecsSinceEpoch()) / 1000.0);

    if (SupplyModel::isNumber(quantity)) {
        if (!readings_[q])
            readings_[q] = &readingFamilies_[q]->Add(labels_);
        readings_[q]->Set(value.toDouble());
    } else if (quantity == Quantity::Output) {
        if (!output_)
            output_ = &outputFamily_->Add(labels_);
        output_->Set(value.value<OutputState>() == OutputState::On ? 1 : 0);
    } else if (quantity == Quantity::Mode) {
        if (!modes_[0])
            for (int m = 0; m < 3; ++m)
                modes_[m] = &modeFamily_->Add(with(labels_, "mode", kModeNames[m]));
        const int mode = int(value.value<TrackingMode>());
        for (int m = 0; m < 3; ++m)
            modes_[m]->Set(m == mode ? 1 : 0);
    } else if (quantity == Quantity::Channel) {
        if (!channel_)
            channel_ = &channelFamily_->Add(labels_);
        channel_->Set(value.toInt());
    }
    syncReplies();
}

void SupplyMetrics::showLink() {
    if (!exposer_)
        return;
    portOpen_->Set(link_.MSComm().PortOpen() ? 1 : 0);
    polling_->Set(link_.polling().isPolling() ? 1 : 0);
}

void SupplyMetrics::syncReplies() {
    if (!exposer_)
        return;
    const ReplyDecoder::Tally& tally = link_.decoder().tally();
    repliesDecoded_->Increment(double(tally.decoded) - repliesDecoded_->Value());
    repliesRejected_->Increment(double(tally.rejected) - repliesRejected_->Value());
}

void SupplyMetrics::countReconnection() {
    if (reconnections_)
        reconnections_->Increment();
}

void SupplyMetrics::showAlarms() {
    if (!exposer_)
        return;
    alarms_[0]->Set(watch_.isAlarmed(Quantity::MeasuredVoltage) ? 1 : 0);
    alarms_[1]->Set(watch_.isAlarmed(Quantity::MeasuredCurrent) ? 1 : 0);
}

void SupplyMetrics::showMeter() {
    if (!exposer_)
        return;
    if (const std::optional<double> watts = meter_.watts()) {
        if (!power_)
            power_ = &powerFamily_->Add(labels_);
        power_->Set(*watts);
    }
    follow(*energy_.family, energy_.counter, meter_.joules());
    follow(*charge_.family, charge_.counter, meter_.coulombs());
    follow(*onTime_.family, onTime_.counter, meter_.outputOnSeconds());
}

void SupplyMetrics::follow(prometheus::Family<prometheus::Counter>& family,
                           prometheus::Counter*& counter, double total) {
    // Adding the difference rounds: the counter may stand an ulp above the
    // total, which is no reset. Only a total clearly below it is one.
    if (counter && total < counter->Value() * (1 - 1e-9)) {
        family.Remove(counter);
        counter = nullptr;
    }
    if (!counter)
        counter = &family.Add(labels_);
    counter->Increment(std::max(0.0, total - counter->Value()));
}
