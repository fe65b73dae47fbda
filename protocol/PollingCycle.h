#pragma once

class CommandSender;
class EventYield;
class ReplyDecoder;
class SerialControl;
struct Controls;
struct PanelState;

// The 18-step polling cycle: every 500 ms the next step's query goes out and
// the date and time labels follow the clock. SeekCmd switches it on and off;
// a tick that finds the port closed switches it off.
class PollingCycle {
public:
    PollingCycle(PanelState& state, Controls& ui, SerialControl& comm, CommandSender& sender,
                 ReplyDecoder& decoder, EventYield& yield);

    void SysTickTimer_Timer();
    void SeekCmd_Click();

private:
    PanelState& state_;
    Controls& ui_;
    SerialControl& comm_;
    CommandSender& sender_;
    ReplyDecoder& decoder_;
    EventYield& yield_;
    bool heldForReply_ = false;
};
