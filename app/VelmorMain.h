#pragma once

#include "Controls.h"
#include "LogView.h"
#include "MessageBoxes.h"
#include "MessageLine.h"
#include "OperatorTools.h"
#include "PanelState.h"
#include "PortList.h"
#include "RemoteControl.h"
#include "RemoteModule.h"
#include "control/CommandLine.h"
#include "control/RunController.h"
#include "serial/PortDirectory.h"
#include "supply/SupplyLink.h"

#include <QWidget>

#include <memory>

// The one window. It owns every control and the run's controller, shows what
// the link and its model announce, and turns the operator's events into
// calls on the controller and the link. Start-up runs when it is created.
class VelmorMain : public QWidget {
    Q_OBJECT
public:
    static constexpr int Width = 636;
    static constexpr int Height = 538;

    VelmorMain(std::unique_ptr<SerialControl> comm, PortDirectory ports, QWidget* parent = nullptr);
    ~VelmorMain() override;

    // For tests and tools that drive the window or the link directly.
    PanelState& panelState() { return state_; }
    const Controls& controls() const { return ui_; }
    SupplyLink& link() { return link_; }
    RunController& controller() { return controller_; }
    SerialControl& MSComm() { return link_.MSComm(); }
    TrafficLog& trafficLog() { return link_.trafficLog(); }
    MessageLine& messageLine() { return message_; }
    LogView& logView() { return logView_; }
    MessageBoxes& messageBoxes() { return boxes_; }
    EventYield& eventYield() { return link_.eventYield(); }
    PollingCycle& polling() { return link_.polling(); }

    // The operator's events, by control.
    void CmdSwitch_Click();
    void SeekCmd_Click();
    void Command1_Click();
    void CmdClearCounter_Click();
    void PowerTypeCombVol_Click();
    void PowerTypeCombCur_Click();
    void VOLSetCmd_Click();
    void CURSetCmd_Click();
    void OVPSetCmd_Click();
    void OCPSetCmd_Click();
    void OutPutButton_Click();
    void INDcmd_Click();
    void PARcmd_Click();
    void SERcmd_Click();
    void OP1_Click();
    void Op2_Click();
    void ClrAlarmAmd_Click();
    void FrameVersion_DblClick();
    void LabVersion_DblClick();
    void Veries_DblClick();
    void LabSeries_Click();
    void EndCmd_Click();

    // The port and line settings the lists show now.
    PortRequest portRequest() const;

    OperatorTools& tools() { return tools_; }
    RemoteControl& remote() { return remote_; }
    // What the command line asked for, once the window is shown: the lists
    // show the port and settings asked for, the metrics page is served, and
    // the controller launches the run from what the lists show.
    void launch(const LaunchOptions& options);

    // The status line's text for an open port, or for a closed one.
    static QString statusText(bool open, const PortRequest& request);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void wireControls();
    void wireLink();
    void showVoltageLimits(const SetpointLimits& limits);
    void showCurrentLimits(const SetpointLimits& limits);
    void showReading(Quantity quantity, const QVariant& value);
    void showOpenState(bool open, const PortRequest& request);
    void showLamps(bool open);

    PanelState state_;
    Controls ui_;
    PortDirectory ports_;
    RemoteModuleFile remoteModule_;
    RunController controller_;
    SupplyLink& link_;
    MessageBoxes boxes_;
    MessageLine message_;
    LogView logView_;
    PortList portList_;
    OperatorTools tools_;
    RemoteControl remote_;
    // A device path given on the command line, opened when CboCom shows it.
    QString launchDevice_;
    // A double-click on LabSeries also delivers a second release; only the
    // first release of a click counts as its click.
    bool ignoreNextSeriesRelease_ = false;
};
