#pragma once

#include <QString>
#include <QTimer>

class QLineEdit;
class QPlainTextEdit;
class TrafficLog;

// Turns the log's text, as it is appended, into the lines the operator
// reads. A line ends at CR LF, as in the log's design; a polling line ends
// at a lone LF, which stands on a line of its own unless the CR LF that opens
// a reply follows it, so a query and its reply stand on consecutive lines
// while the empty line after an operator command stays. Other CRs are
// dropped and control characters shown as their visible symbols.
class LogLines {
public:
    // The display text for the next piece of the log. A lone LF at the end
    // of a piece is held until the next piece shows what follows it.
    QString take(const QString& piece);
    void reset();

private:
    bool heldLineFeed_ = false;
    bool afterCr_ = false;
};

// Shows the traffic log in TxtReceive and the counters in TxtRXCount and
// TxtTXCount. The widget is appended to, never rewritten, and the log and the
// counters are brought up to date together, a moment after the first byte
// not yet shown: the operator sees the wire as it happens, and a polling
// query and its reply (a few tens of milliseconds apart) cost one repaint.
class LogView {
public:
    // Short of 100 ms, so that what the wire carried is on screen a tenth of
    // a second later.
    static constexpr int ShowIntervalMs = 80;
    // The widget keeps its own bound in lines.
    static constexpr int MaxBlocks = 4000;
    // The newest lines keep their shaped glyphs: two views' worth.
    static constexpr int GlyphBlocks = 64;

    LogView(TrafficLog& log, QPlainTextEdit& view, QLineEdit& rxCount, QLineEdit& txCount);

    // Hands the lines not yet shown to the widget and the counts to the
    // counter boxes.
    void show();

private:
    void appended(const QString& text);
    void emptied();
    void showSoon();
    void showCounts();
    void keepRecentGlyphs();

    const TrafficLog& log_;
    QPlainTextEdit& view_;
    QLineEdit& rxCount_;
    QLineEdit& txCount_;
    QString unshown_;
    LogLines lines_;
    // The counts the two boxes show ("RX:0" and "TX:0" at start).
    qint64 shownRx_ = 0;
    qint64 shownTx_ = 0;
    QTimer showTimer_;
};
