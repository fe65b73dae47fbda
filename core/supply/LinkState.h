#pragma once

#include "SupplyModel.h"
#include "protocol/Commands.h"

#include <QString>

// What the polling cycle, the decoder and the operator's commands share.
struct LinkState {
    // The current polling step; the step alone decides how the next reply is
    // read, and operator commands move it to read back what they changed.
    // LineArbiter alone writes it: the tick's advance, and the step each
    // command leaves behind once it is on the line.
    PollingStep step = PollingStep::None;
    // The query the tick sends (steps 10 to 18 send it again).
    QString query;
    // An identity query has just been sent: the next polling tick is skipped
    // so that its reply can arrive.
    bool skipNextTick = false;
    // The tracking mode in force, as last selected or reported: the one
    // place it is held. The options show it, the model records each report
    // of the supply as a reading, and the limits keep only which mode they
    // last followed.
    TrackingMode mode = TrackingMode::Independent;
};
