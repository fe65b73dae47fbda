#include "ScriptedSerialControl.h"

void ScriptedSerialControl::receive(const QByteArray& piece) {
    if (!PortOpen())
        return;
    pending_ += piece;
    if (pending_.size() > MaxPending)
        pending_.remove(0, pending_.size() - MaxPending);
    deviceReceived();
}

void ScriptedSerialControl::receiveInPieces(const QByteArray& text, int pieceSize) {
    for (qsizetype at = 0; at < text.size(); at += pieceSize)
        receive(text.mid(at, pieceSize));
}

bool ScriptedSerialControl::openDevice(int port, const LineSettings& settings) {
    ++openings;
    if (!presentPorts.contains(port))
        return false;
    if (failingOpens > 0) {
        --failingOpens;
        return false;
    }
    openedPort = port;
    openedWith = settings;
    pending_.clear();
    return true;
}

bool ScriptedSerialControl::writeDevice(const QByteArray& bytes) {
    if (refuseWrites)
        return false;
    writes.append(bytes);
    if (onWrite)
        onWrite(bytes);
    return true;
}

QByteArray ScriptedSerialControl::readDevice() {
    QByteArray taken;
    taken.swap(pending_);
    return taken;
}

QString ScriptedSerialControl::takeWritten() {
    const QString text = QString::fromLatin1(written());
    writes.clear();
    return text;
}
