#pragma once

#include "ProgramRun.h"
#include "WatchLimits.h"

#include <QObject>

class SupplyLink;

// What runs the supply beyond single commands, for any front end: a
// programmed run and the watch limits. A watch alarm that asks for the
// output off ends a run first (which switches it off), so the run does not
// switch it on again at its next step.
class Automation : public QObject {
    Q_OBJECT
public:
    explicit Automation(SupplyLink& link, QObject* parent = nullptr);

    ProgramRun& run() { return run_; }
    WatchLimits& watch() { return watch_; }

    // The output off for a reason other than the operator's switch (a watch
    // alarm, an output timer running out): a programmed run is ended, which
    // switches it off, or else the output is switched off.
    void enterSafeState();

private:
    SupplyLink& link_;
    ProgramRun run_;
    WatchLimits watch_;
};
