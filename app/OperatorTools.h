#pragma once

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
// read-out frame's context menu: recording to a file, reopening a lost line
// by itself, the trend of the run, programmed runs and watch limits. The
// controller does the first two; these are its entries, its indicator and
// its window.
class OperatorTools : public QObject {
    Q_OBJECT
public:
    OperatorTools(QWidget& window, RunController& controller, const Controls& ui,
                  MessageLine& message, const MessageBoxes& boxes);

    ReadoutMenu& menu() { return menu_; }
    RecordingControl& recording() { return recording_; }
    TrendWindows& trends() { return trends_; }
    ProgramTools& programs() { return programs_; }

private:
    ReadoutMenu menu_;
    RecordingControl recording_;
    TrendWindows trends_;
    ProgramTools programs_;
};
