#pragma once

#include "ProgramTools.h"
#include "ReadoutMenu.h"
#include "RecordingControl.h"
#include "TrendWindows.h"
#include "record/CsvRecorder.h"
#include "serial/Reconnector.h"
#include "supply/PortSession.h"

#include <QObject>

class MessageBoxes;
class MessageLine;
class QWidget;
class SupplyLink;
struct Controls;

// What the operator adds to a run beyond the panel's controls, all from the
// read-out frame's context menu: recording to a file, reopening a lost line
// by itself, the trend of the run, programmed runs and watch limits.
class OperatorTools : public QObject {
    Q_OBJECT
public:
    OperatorTools(QWidget& window, SupplyLink& link, const Controls& ui, MessageLine& message,
                  const MessageBoxes& boxes);

    CsvRecorder& recorder() { return recorder_; }
    ReadoutMenu& menu() { return menu_; }
    RecordingControl& recording() { return recording_; }
    Reconnector& reconnector() { return reconnector_; }
    TrendWindows& trends() { return trends_; }
    ProgramTools& programs() { return programs_; }

    // Keeps trying to open the requested port every two seconds, without a
    // box (automatic reconnection must be on); polling starts once it is
    // open when asked to.
    void keepTrying(const PortRequest& request, bool startPolling);
    // The operator pressed the port button: the line is theirs again.
    void portSwitchPressed() { reconnector_.stop(); }

private:
    void lineLost();
    void reopened();

    SupplyLink& link_;
    CsvRecorder recorder_;
    ReadoutMenu menu_;
    RecordingControl recording_;
    Reconnector reconnector_;
    TrendWindows trends_;
    ProgramTools programs_;
    PortRequest retryRequest_;
    LinkEvent retryEvent_ = LinkEvent::PortReopened;
    bool resumePolling_ = false;
};
