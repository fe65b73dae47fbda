#include "ScriptedSupply.h"

#include "ScriptedSerialControl.h"

#include <QTimer>

ScriptedSupply::ScriptedSupply(ScriptedSerialControl& comm)
    : replies(typicalReplies()), comm_(comm) {
    comm_.onWrite = [this](const QByteArray& bytes) {
        const auto reply = replies.find(bytes);
        if (reply == replies.end())
            return;
        const QByteArray text = reply.value();
        QTimer::singleShot(0, &comm_, [this, text] {
            ++answered;
            if (pieceSize > 0)
                comm_.receiveInPieces(text, pieceSize);
            else
                comm_.receive(text);
        });
    };
}

QMap<QByteArray, QByteArray> typicalReplies() {
    return {
        {"MEASure:SCALar:VOLTage:DC?CR", "+1.20000E+01\r\n"},
        {"MEASure:SCALar:CURRent:DC?CR", "+8.50000E-01\r\n"},
        {"VOLTage:LEVel?CR", "+1.25000E+01\r\n"},
        {"CURRent:LEVel?CR", "+1.50000E+00\r\n"},
        {"VOLTage:PROTection:LEVel?CR", "+3.30000E+01\r\n"},
        {"CURRent:PROTection:LEVel?CR", "+3.30000E+00\r\n"},
        {"OUTPut:STATe?CR", "1\r\n"},
        {"SOUR:MODE?CR", "0\r\n"},
        {"APPL?CR", "1\r\n"},
        {"SYST:VERS?CR", "V1.06\r\n"},
        {"*IDN?CR", "VELMOR,PSU-3005,SN0042,V1.06\r\n"},
    };
}
