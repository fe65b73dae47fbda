#include "LogView.h"

#include "serial/TrafficLog.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

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

LogView::LogView(TrafficLog& log, QPlainTextEdit& view, QLineEdit& rxCount, QLineEdit& txCount)
    : view_(view), rxCount_(rxCount), txCount_(txCount) {
    // Keeps the widget's document bounded along with the text; an undo
    // history of every line appended would grow without end.
    view_.setMaximumBlockCount(MaxBlocks);
    view_.setUndoRedoEnabled(false);
    showTimer_.setSingleShot(true);
    showTimer_.setInterval(ShowIntervalMs);
    QObject::connect(&showTimer_, &QTimer::timeout, [this] { show(); });
    // The timer is the connections' context: they end with this view.
    QObject::connect(&log, &TrafficLog::appended, &showTimer_,
                     [this](const QString& text) { appended(text); });
    QObject::connect(&log, &TrafficLog::emptied, &showTimer_, [this] { emptied(); });
    QObject::connect(&log, &TrafficLog::countsChanged, &showTimer_, [this](qint64 rx, qint64 tx) {
        rxCount_.setText(QStringLiteral("RX:") + QString::number(rx));
        txCount_.setText(QStringLiteral("TX:") + QString::number(tx));
    });
}

void LogView::appended(const QString& text) {
    unshown_ += text;
    if (unshown_.size() > TrafficLog::MaxChars)
        unshown_.remove(0, unshown_.size() - TrafficLog::MaxChars);
    if (!showTimer_.isActive())
        showTimer_.start();
}

void LogView::emptied() {
    unshown_.clear();
    view_.clear();
}

void LogView::show() {
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
