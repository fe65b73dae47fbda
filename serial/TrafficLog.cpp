#include "TrafficLog.h"

#include "app/PanelState.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kTx = QStringLiteral("TX>>:");
const QString kRx = QStringLiteral("RX<<:");

} // namespace

QString visibleLogText(const QString& text) {
    QString shown;
    shown.reserve(text.size());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\r')
            continue;
        if (u == u'\n' || u == u'\t')
            shown.append(c);
        else if (u < 0x20)
            shown.append(QChar(char16_t(0x2400 + u))); // the control pictures
        else if (u == 0x7f)
            shown.append(QChar(char16_t(0x2421)));
        else if (u >= 0x80 && u < 0xa0)
            shown.append(QChar(char16_t(0xfffd)));
        else
            shown.append(c);
    }
    return shown;
}

TrafficLog::TrafficLog(PanelState& state, QPlainTextEdit& view, QLineEdit& rxCount,
                       QLineEdit& txCount)
    : state_(state), view_(view), rxCount_(rxCount), txCount_(txCount) {
    // Keeps the widget's document bounded along with the text; an undo
    // history of every line appended would grow without end.
    view_.setMaximumBlockCount(4000);
    view_.setUndoRedoEnabled(false);
    showTimer_.setSingleShot(true);
    showTimer_.setInterval(ShowIntervalMs);
    QObject::connect(&showTimer_, &QTimer::timeout, [this] { show(); });
}

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
    unshown_ += line;
    if (unshown_.size() > MaxChars)
        unshown_.remove(0, unshown_.size() - MaxChars);
    if (!showTimer_.isActive())
        showTimer_.start();
}

void TrafficLog::show() {
    if (unshown_.isEmpty())
        return;
    // Appending through a cursor keeps the layout of what is already shown;
    // the operator's scroll position stays unless they were at the end.
    QScrollBar* bar = view_.verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    QTextCursor cursor(view_.document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(visibleLogText(unshown_));
    unshown_.clear();
    if (atEnd)
        bar->setValue(bar->maximum());
}

void TrafficLog::empty() {
    text_.clear();
    unshown_.clear();
    view_.clear();
}

void TrafficLog::countReceived(qint64 bytes) {
    state_.RxByteCount += bytes;
    rxCount_.setText(QStringLiteral("RX:") + QString::number(state_.RxByteCount));
}

void TrafficLog::countSent(qint64 bytes) {
    state_.TxByteCount += bytes;
    txCount_.setText(QStringLiteral("TX:") + QString::number(state_.TxByteCount));
}

void TrafficLog::emptyIfTooLong() {
    if (text_.size() > EmptyAboveChars)
        empty();
}

void TrafficLog::emptyIfCountReached() {
    if (state_.RxByteCount >= EmptyFromByteCount)
        empty();
}

void TrafficLog::Command1_Click() {
    empty();
}

void TrafficLog::CmdClearCounter_Click() {
    state_.RxByteCount = 0;
    state_.TxByteCount = 0;
    rxCount_.setText(QStringLiteral("RX:0"));
    txCount_.setText(QStringLiteral("TX:0"));
}
