#pragma once

#include <QString>
#include <QtGlobal>

// The window's shared variables. Every field starts at zero or empty; the
// handlers in app/, serial/, protocol/ and panel/ read and write them here.
struct PanelState {
    // Ticks of TmrAutoSend left before the message line is cleared.
    qint16 MsgDelayTime = 0;
    // Received text not yet decoded.
    QString RxMsgStr;
    // The rating as last read from the two rating lists.
    qint16 SysPowerVol = 0;
    double SysPowerCur = 0.0;
    // Port number chosen in CboCom, 0 when none (or none that fits).
    quint8 MyOpenPort = 0;
    // An identity query has just been sent: the next polling tick is skipped
    // so that its reply can arrive.
    bool bReadVersion = false;

    double CVSetValueMax = 0.0;
    double CCSetValueMax = 0.0;
    double OVPSetValueMax = 0.0;
    double OCPSetValueMax = 0.0;
    double CVSetValueMin = 0.0;
    double CCSetValueMin = 0.0;
    double OVPSetValueMin = 0.0;
    double OCPSetValueMin = 0.0;

    // The query of the current polling step and the step itself (1 to 18
    // while polling). The step alone decides how the next reply is read.
    QString myCmd;
    qint16 myTimer = 0;

    // Channel (1 or 2) and tracking mode (0 independent, 1 parallel,
    // 2 series) as last reported; PowerModeBack is the mode the limits were
    // last recomputed for.
    qint16 PowerApply = 0;
    qint16 PowerMode = 0;
    qint16 PowerModeBack = 0;

    // Port state as last read by the port button.
    bool bPortOpen = false;

    // Bytes received from and written to the line since start or the last
    // counter reset. 64-bit so that a panel left polling for months never
    // overflows them.
    qint64 RxByteCount = 0;
    qint64 TxByteCount = 0;
    // The text taken from the serial control by the latest read.
    QString RxInput;
    // Result of the port-existence test during the start-up scan.
    qint32 PortFound = 0;
};
