#pragma once

#include <QObject>
#include <QString>

// The traffic log's text and the RX and TX byte counters, as data.
//
// The text is kept exactly as appended (CR LF after commands, a lone LF after
// polling queries); a view shows it in its own way. Every change is
// announced, so a view appends what was appended and never rereads the whole.
class TrafficLog : public QObject {
    Q_OBJECT
public:
    // A log longer than this is emptied by the next counted number reply.
    static constexpr int EmptyAboveChars = 4000;
    // From this received count on, every counted number reply empties the log.
    static constexpr qint64 EmptyFromByteCount = 65535;
    // Hard bound for a log that nothing empties (polling a silent supply for
    // days): the oldest text goes first.
    static constexpr int MaxChars = 100000;

    explicit TrafficLog(QObject* parent = nullptr);

    const QString& text() const { return text_; }
    // Bytes received from and written to the line since start or the last
    // counter reset. 64-bit, so that a panel left polling for months never
    // overflows them.
    qint64 rxCount() const { return rxCount_; }
    qint64 txCount() const { return txCount_; }

    // "TX>>:" + command + CR LF
    void appendCommandLine(const QString& command);
    // "TX>>:" + query + LF
    void appendPollingLine(const QString& query);
    // CR LF + "RX<<:" + excerpt + CR LF
    void appendReplyLine(const QString& excerpt);

    void countReceived(qint64 bytes);
    void countSent(qint64 bytes);
    void resetCounters();

    // The two emptying rules applied around a counted number reply.
    void emptyIfTooLong();
    void emptyIfCountReached();
    void empty();

signals:
    void appended(const QString& text);
    void emptied();
    void countsChanged(qint64 rx, qint64 tx);

private:
    void append(const QString& line);

    QString text_;
    qint64 rxCount_ = 0;
    qint64 txCount_ = 0;
};
