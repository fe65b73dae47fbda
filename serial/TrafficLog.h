#pragma once

#include <QString>
#include <QTimer>

class QLineEdit;
class QPlainTextEdit;
struct PanelState;

// The traffic log (TxtReceive) and the RX and TX counters beside it.
//
// The log's text is kept here exactly as appended (CR LF after commands, a
// lone LF after polling queries); the widget shows it with the control
// characters made harmless. The widget is appended to, never rewritten, and
// at most four times a second: redrawing the log after every line was most
// of what polling cost.
class TrafficLog {
public:
    // A log longer than this is emptied by the next counted number reply.
    static constexpr int EmptyAboveChars = 4000;
    // From this received count on, every counted number reply empties the log.
    static constexpr qint64 EmptyFromByteCount = 65535;
    // Hard bound for a log that nothing empties (polling a silent supply for
    // days): the oldest text goes first. The widget keeps its own bound in
    // lines.
    static constexpr int MaxChars = 100000;
    static constexpr int ShowIntervalMs = 250;

    TrafficLog(PanelState& state, QPlainTextEdit& view, QLineEdit& rxCount, QLineEdit& txCount);

    const QString& text() const { return text_; }

    // "TX>>:" + command + CR LF
    void appendCommandLine(const QString& command);
    // "TX>>:" + query + LF
    void appendPollingLine(const QString& query);
    // CR LF + "RX<<:" + excerpt + CR LF
    void appendReplyLine(const QString& excerpt);

    void countReceived(qint64 bytes);
    void countSent(qint64 bytes);

    // The two emptying rules applied around a counted number reply.
    void emptyIfTooLong();
    void emptyIfCountReached();

    // Hands the lines not yet shown to the widget.
    void show();

    void Command1_Click();
    void CmdClearCounter_Click();

private:
    void append(const QString& line);
    void empty();

    PanelState& state_;
    QPlainTextEdit& view_;
    QLineEdit& rxCount_;
    QLineEdit& txCount_;
    QString text_;
    QString unshown_;
    QTimer showTimer_;
};

// The log text as the widget shows it: CR dropped, LF kept, every other
// control character shown as its visible symbol.
QString visibleLogText(const QString& text);
