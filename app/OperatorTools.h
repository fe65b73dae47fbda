#pragma once

#include "MeterTools.h"
#include "ProgramTools.h"
#include "ReadoutMenu.h"
#include "RecordingControl.h"
#include "TrendWindows.h"

#include <QObject>

class MessageBoxes;
class MessageLine;
class QWidget;
class RunController;
struct Controls;

// What the operator adds to a run beyond the panel's controls, all from the
// read-out frame's context menu, which also opens on a right click anywhere
// in the window where no control has a menu of its own: recording to a
// file, reopening a lost line by itself, the trend of the run, programmed
// runs and watch limits, the meter and the output timer, and "关于". The
// controller does the work; these are its entries, indicators and windows.
class OperatorTools : public QObject {
    Q_OBJECT
public:
    OperatorTools(QWidget& window, RunController& controller, const Controls& ui,
                  MessageLine& message, const MessageBoxes& boxes);

    ReadoutMenu& menu() { return menu_; }
    RecordingControl& recording() { return recording_; }
    TrendWindows& trends() { return trends_; }
    ProgramTools& programs() { return programs_; }
    MeterTools& meters() { return meters_; }

private:
    ReadoutMenu menu_;
    RecordingControl recording_;
    TrendWindows trends_;
    ProgramTools programs_;
    MeterTools meters_;
};
