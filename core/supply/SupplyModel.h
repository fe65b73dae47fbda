#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QVariant>

#include <array>
#include <optional>

// Everything the panel reads from the supply, as values.
enum class Quantity {
    MeasuredVoltage,
    MeasuredCurrent,
    SetVoltage,
    SetCurrent,
    OverVoltage,
    OverCurrent,
    Output,
    Mode,
    Channel,
    Version,
    Identification,
};
inline constexpr int QuantityCount = int(Quantity::Identification) + 1;

// The tracking mode as the supply numbers it on the wire.
enum class TrackingMode { Independent = 0, Parallel = 1, Series = 2 };

enum class OutputState { Off, On };

// What happened to the link, for recorders and plots that mark it.
enum class LinkEvent {
    PortOpened,
    PortClosed,
    PortLost,
    PortReopened,
    PollingStarted,
    PollingStopped
};
// "port opened", "port closed", "port lost", "port reopened",
// "polling started", "polling stopped": as recordings name them.
QString linkEventText(LinkEvent event);

// What the panel knows of the supply: the six numbers as read (signed, in
// volts and amperes), the output state, the tracking mode, the channel and
// the two identity texts, each with the time it was last read. Every reading
// is announced, also one that repeats the value before: a recorder sees each
// reading, a plot each point.
class SupplyModel : public QObject {
    Q_OBJECT
public:
    struct Reading {
        QVariant value; // double, OutputState, TrackingMode, int or QString
        QDateTime time; // invalid until the quantity was first read
        // A number's read-out text, which keeps the digits the panel has
        // always shown for a reply; empty for the other quantities.
        QString shown;
    };

    explicit SupplyModel(QObject* parent = nullptr);

    const Reading& reading(Quantity quantity) const { return readings_[index(quantity)]; }
    bool known(Quantity quantity) const { return reading(quantity).time.isValid(); }
    // The number of a read-out quantity, nothing before its first reading.
    std::optional<double> number(Quantity quantity) const;
    std::optional<OutputState> output() const;
    std::optional<TrackingMode> mode() const;
    std::optional<int> channel() const;
    QString version() const { return reading(Quantity::Version).value.toString(); }
    QString identification() const { return reading(Quantity::Identification).value.toString(); }

    // The port and line settings of the open link ("COM3", "9600,N,8,1"),
    // empty while none is open.
    QString portName() const { return portName_; }
    QString lineSettings() const { return lineSettings_; }

    // A number and its read-out text; without a text the read-out shows the
    // value's own digits.
    void setNumber(Quantity quantity, double value, const QDateTime& time,
                   const QString& shown = QString());
    void setOutput(OutputState state, const QDateTime& time);
    void setMode(TrackingMode mode, const QDateTime& time);
    void setChannel(int channel, const QDateTime& time);
    void setText(Quantity quantity, const QString& text, const QDateTime& time);
    void setLink(const QString& portName, const QString& lineSettings);
    void reportLinkEvent(LinkEvent event, const QDateTime& time);
    // An event of the session beyond the link ("run step 3/10", "limit
    // exceeded ..."), in the words a recording's event column gives it.
    void reportNote(const QString& text, const QDateTime& time);

    static bool isNumber(Quantity quantity) {
        return index(quantity) <= index(Quantity::OverCurrent);
    }

signals:
    void changed(Quantity quantity, const QVariant& value, const QDateTime& time);
    void linkEvent(LinkEvent event, const QDateTime& time);
    void noted(const QString& text, const QDateTime& time);

private:
    static int index(Quantity quantity) { return int(quantity); }
    void set(Quantity quantity, QVariant value, const QDateTime& time, QString shown = QString());

    std::array<Reading, QuantityCount> readings_;
    QString portName_;
    QString lineSettings_;
};

Q_DECLARE_METATYPE(Quantity)
Q_DECLARE_METATYPE(TrackingMode)
Q_DECLARE_METATYPE(OutputState)
Q_DECLARE_METATYPE(LinkEvent)
