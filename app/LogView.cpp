#include "LogView.h"

#include "serial/TrafficLog.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>

namespace {

// A character other than CR and LF as the widget shows it.
QChar visibleChar(QChar c) {
    const char16_t u = c.unicode();
    if (u == u'\t')
        return c;
    if (u < 0x20)
        return QChar(char16_t(0x2400 + u)); // the control pictures
    if (u == 0x7f)
        return QChar(char16_t(0x2421));
    if (u >= 0x80 && u < 0xa0)
        return QChar(char16_t(0xfffd));
    return c;
}

} // namespace

QString LogLines::take(const QString& piece) {
    QString shown;
    shown.reserve(piece.size() + 1);
    for (QChar c : piece) {
        if (c == u'\r') {
            afterCr_ = true;
            continue;
        }
        const bool crLf = c == u'\n' && afterCr_;
        afterCr_ = false;
        if (crLf) {
            // A held lone LF and this CR LF make one line break.
            heldLineFeed_ = false;
            shown.append(u'\n');
            continue;
        }
        if (heldLineFeed_) {
            shown.append(u'\n');
            heldLineFeed_ = false;
        }
        if (c == u'\n')
            heldLineFeed_ = true;
        else
            shown.append(visibleChar(c));
    }
    return shown;
}

void LogLines::reset() {
    heldLineFeed_ = false;
    afterCr_ = false;
}

LogView::LogView(TrafficLog& log, QPlainTextEdit& view, QLineEdit& rxCount, QLineEdit& txCount)
    : log_(log), view_(view), rxCount_(rxCount), txCount_(txCount) {
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
    QObject::connect(&log, &TrafficLog::countsChanged, &showTimer_, [this] { showSoon(); });
}

void LogView::showSoon() {
    if (!showTimer_.isActive())
        showTimer_.start();
}

void LogView::showCounts() {
    // Laying out a line edit's text is most of what a received piece costs:
    // only the counter that moved is rewritten.
    const qint64 rx = log_.rxCount();
    const qint64 tx = log_.txCount();
    if (rx != shownRx_) {
        shownRx_ = rx;
        rxCount_.setText(QStringLiteral("RX:") + QString::number(rx));
    }
    if (tx != shownTx_) {
        shownTx_ = tx;
        txCount_.setText(QStringLiteral("TX:") + QString::number(tx));
    }
}

void LogView::appended(const QString& text) {
    unshown_ += text;
    if (unshown_.size() > TrafficLog::MaxChars)
        unshown_.remove(0, unshown_.size() - TrafficLog::MaxChars);
    showSoon();
}

void LogView::emptied() {
    unshown_.clear();
    lines_.reset();
    view_.clear();
}

void LogView::show() {
    showTimer_.stop();
    showCounts();
    if (unshown_.isEmpty())
        return;
    // Appending through a cursor keeps the layout of what is already shown;
    // the operator's scroll position stays unless they were at the end.
    QScrollBar* bar = view_.verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    QTextCursor cursor(view_.document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(lines_.take(unshown_));
    unshown_.clear();
    keepRecentGlyphs();
    if (atEnd)
        bar->setValue(bar->maximum());
}

void LogView::keepRecentGlyphs() {
    // A line appended scrolls the view, and the widget then draws every line
    // it shows again. Without its glyphs kept, each line is shaped anew at
    // each drawing: about half of what a repaint costs. Only the newest lines
    // keep them, so that a full log costs no more memory than before.
    QTextBlock block = view_.document()->lastBlock();
    for (int kept = 0; block.isValid() && kept < GlyphBlocks; ++kept, block = block.previous())
        block.layout()->setCacheEnabled(true);
    for (; block.isValid() && block.layout()->cacheEnabled(); block = block.previous()) {
        QTextLayout* layout = block.layout();
        layout->setCacheEnabled(false);
        // An empty layout run lets the glyphs go; the widget lays the line
        // out again when it is next drawn.
        layout->beginLayout();
        layout->endLayout();
    }
}
