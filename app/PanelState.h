#pragma once

#include <QtGlobal>

// The window's own variables; what the supply link shares lives in the core.
struct PanelState {
    // Ticks of TmrAutoSend left before the message line is cleared.
    qint16 MsgDelayTime = 0;
    // Port number chosen in CboCom, 0 when none (or none that fits).
    quint8 MyOpenPort = 0;
    // Result of the port-existence test during the start-up scan.
    qint32 PortFound = 0;
};
