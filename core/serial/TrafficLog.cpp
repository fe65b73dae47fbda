#include "TrafficLog.h"

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kTx = QStringLiteral("TX>>:");
const QString kRx = QStringLiteral("RX<<:");

} // namespace

TrafficLog::TrafficLog(QObject* parent) : QObject(parent) {}

void TrafficLog::appendCommandLine(const QString& command) {
    append(kTx + command + kCrLf);
}

void TrafficLog::appendPollingLine(const QString& query) {
    append(kTx + query + u'\n');
}

void TrafficLog::appendReplyLine(const QString& excerpt) {
    append(kCrLf + kRx + excerpt + kCrLf);
}

void TrafficLog::append(const QString& line) {
    text_ += line;
    // Trimming to three quarters makes the cut rare instead of once per line.
    if (text_.size() > MaxChars)
        text_.remove(0, text_.size() - MaxChars * 3 / 4);
    emit appended(line);
}

void TrafficLog::empty() {
    text_.clear();
    emit emptied();
}

void TrafficLog::countReceived(qint64 bytes) {
    rxCount_ += bytes;
    emit countsChanged(rxCount_, txCount_);
}

void TrafficLog::countSent(qint64 bytes) {
    txCount_ += bytes;
    emit countsChanged(rxCount_, txCount_);
}

void TrafficLog::resetCounters() {
    rxCount_ = 0;
    txCount_ = 0;
    emit countsChanged(rxCount_, txCount_);
}

void TrafficLog::emptyIfTooLong() {
    if (text_.size() > EmptyAboveChars)
        empty();
}

void TrafficLog::emptyIfCountReached() {
    if (rxCount_ >= EmptyFromByteCount)
        empty();
}
