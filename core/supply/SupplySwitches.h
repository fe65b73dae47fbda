#pragma once

#include "SupplyModel.h"

#include <QObject>

class LineArbiter;
struct LinkState;

// The output switch, the tracking-mode and channel options and the alarm
// clear: each sends one fixed command and leaves the reading-back to the
// polling cycle. It also keeps what the panel's switch and options show:
// the output state the switch offers to change, and the selected mode and
// channel.
class SupplySwitches : public QObject {
    Q_OBJECT
public:
    SupplySwitches(LinkState& state, LineArbiter& line, QObject* parent = nullptr);

    // The output state the panel shows: the switch offers the other one.
    OutputState shownOutput() const { return shownOutput_; }
    // The mode selected is the mode in force: the limits follow it.
    TrackingMode selectedMode() const;
    int selectedChannel() const { return selectedChannel_; }

    // The operator's output switch: sends the other state and shows it.
    void toggleOutput();
    // Switches the output to the state given, as the switch does; false,
    // without a message, when the port is closed.
    bool setOutput(OutputState state);
    // An output-off that is owed (a run's end or stop, a watch limit, the
    // output timer, the way out): it goes ahead of everything waiting for the
    // line, and clients' requests fail. False when it could not be written:
    // it stays owed, and goes out first when the port opens again.
    bool switchOffNow();
    bool offOwed() const { return offOwed_; }
    // The port opened: an owed output-off goes out before anything else.
    void payOwedOff();
    // A mode or channel becoming selected, by the operator or by a reply
    // that reports another one than selected: the command goes out.
    void selectMode(TrackingMode mode);
    void selectChannel(int channel);
    void clearAlarm();
    // The output state as the supply reported it.
    void showOutput(OutputState state);

signals:
    void outputShown(OutputState state);
    // An owed output-off could not be written: the output may still be on.
    void switchOffFailed();
    // The option to show selected; the channel options are usable only in
    // independent mode.
    void modeSelected(TrackingMode mode);
    void channelSelected(int channel);

private:
    bool sendOutput(OutputState state);

    LinkState& state_;
    LineArbiter& line_;
    OutputState shownOutput_ = OutputState::Off;
    int selectedChannel_ = 1;
    bool offOwed_ = false;
};
