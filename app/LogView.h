#pragma once

#include <QString>
#include <QTimer>

class QLineEdit;
class QPlainTextEdit;
class TrafficLog;

// Shows the traffic log in TxtReceive and the counters in TxtRXCount and
// TxtTXCount. The widget is appended to, never rewritten, and at most four
// times a second: redrawing the log after every line was most of what
// polling cost.
class LogView {
public:
    static constexpr int ShowIntervalMs = 250;
    // The widget keeps its own bound in lines.
    static constexpr int MaxBlocks = 4000;

    LogView(TrafficLog& log, QPlainTextEdit& view, QLineEdit& rxCount, QLineEdit& txCount);

    // Hands the lines not yet shown to the widget.
    void show();

private:
    void appended(const QString& text);
    void emptied();

    QPlainTextEdit& view_;
    QLineEdit& rxCount_;
    QLineEdit& txCount_;
    QString unshown_;
    QTimer showTimer_;
};

// The log text as the widget shows it: CR dropped, LF kept, every other
// control character shown as its visible symbol.
QString visibleLogText(const QString& text);
