#pragma once

#include "Controls.h"
#include "EventYield.h"
#include "MessageBoxes.h"
#include "MessageLine.h"
#include "PanelState.h"
#include "panel/IdentityQueries.h"
#include "panel/RatingLimits.h"
#include "panel/SetpointCommands.h"
#include "panel/SupplySwitches.h"
#include "protocol/CommandSender.h"
#include "protocol/PollingCycle.h"
#include "protocol/ReplyDecoder.h"
#include "serial/PortDirectory.h"
#include "serial/PortList.h"
#include "serial/PortSwitch.h"
#include "serial/SerialControl.h"
#include "serial/TrafficLog.h"

#include <QWidget>

#include <memory>

// The one window. It owns every control, the serial control, the timers,
// the panel state and the small objects that handle each control's events,
// and wires the events to them. Start-up runs when it is created.
class VelmorMain : public QWidget {
    Q_OBJECT
public:
    static constexpr int Width = 636;
    static constexpr int Height = 538;

    VelmorMain(std::unique_ptr<SerialControl> comm, PortDirectory ports, QWidget* parent = nullptr);
    ~VelmorMain() override;

    // For tests and tools that drive the window's handlers directly.
    PanelState& panelState() { return state_; }
    const Controls& controls() const { return ui_; }
    SerialControl& MSComm() { return *comm_; }
    TrafficLog& trafficLog() { return log_; }
    MessageLine& messageLine() { return message_; }
    MessageBoxes& messageBoxes() { return boxes_; }
    EventYield& eventYield() { return yield_; }
    PollingCycle& polling() { return polling_; }
    ReplyDecoder& decoder() { return decoder_; }
    RatingLimits& rating() { return rating_; }
    IdentityQueries& identity() { return identity_; }

    void EndCmd_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void wireEvents();

    PanelState state_;
    Controls ui_;
    PortDirectory ports_;
    std::unique_ptr<SerialControl> comm_;
    EventYield yield_;
    MessageBoxes boxes_;
    MessageLine message_;
    TrafficLog log_;
    PortList portList_;
    PortSwitch portSwitch_;
    CommandSender sender_;
    RatingLimits rating_;
    ReplyDecoder decoder_;
    PollingCycle polling_;
    SetpointCommands setpoints_;
    SupplySwitches switches_;
    IdentityQueries identity_;
    // A double-click on LabSeries also delivers a second release; only the
    // first release of a click counts as its click.
    bool ignoreNextSeriesRelease_ = false;
};
