#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

class ScriptedSerialControl;

// A supply behind a scripted serial control: it answers each query the
// panel writes, once the current handler has returned, with the reply a
// real supply would give, optionally in pieces.
class ScriptedSupply {
public:
    explicit ScriptedSupply(ScriptedSerialControl& comm);

    // Replies by query (with its closing "CR"); a query not listed gets no
    // answer.
    QMap<QByteArray, QByteArray> replies;
    int pieceSize = 0;
    int answered = 0;

private:
    ScriptedSerialControl& comm_;
};

// The default replies: distinct values for every quantity, output on,
// independent mode, channel 1, a version and an identification text.
QMap<QByteArray, QByteArray> typicalReplies();
