#pragma once

#include "CsvFormat.h"

#include <QFile>
#include <QObject>

#include <array>
#include <functional>

class SupplyModel;

// Records what the supply model announces into a CSV file (see CsvFormat):
// a row for every reading of the six numbers, the output, the mode and the
// channel, and a row for every link event and note, each with the latest value of
// every column. Each row goes to the operating system in one write before
// the recorder returns, so a crash or a kill loses at most the row being
// written. A write that fails ends the recording and is reported.
class CsvRecorder : public QObject {
    Q_OBJECT
public:
    enum class Existing { Refuse, Replace };

    explicit CsvRecorder(const SupplyModel& model, QObject* parent = nullptr);
    ~CsvRecorder() override;

    // Creates the file, writes the header and the "recording started" row
    // and starts recording; a recording already running is stopped first.
    // False, with errorString(), when the file cannot be created, exists
    // and is to be refused, or the first rows cannot be written.
    bool start(const QString& path, Existing existing);
    // Writes the "recording stopped" row and closes the file.
    void stop();
    // Words that follow "recording stopped" in its row, asked for when it
    // is written (the run's totals, say); none by default.
    void setStoppedSuffix(std::function<QString()> suffix) { stoppedSuffix_ = std::move(suffix); }

    bool isRecording() const { return file_.isOpen(); }
    QString fileName() const { return file_.fileName(); }
    // Rows written after the header, event rows included.
    qint64 rowCount() const { return rows_; }
    QString errorString() const { return error_; }

signals:
    void recordingChanged(bool recording);
    void rowsWritten(qint64 rows);
    // A write failed: the recording has already ended. The reason is the
    // system's.
    void failed(const QString& reason);

private:
    void onChanged(Quantity quantity, const QVariant& value, const QDateTime& time);
    void onLinkEvent(LinkEvent event, const QDateTime& time);
    void onNote(const QString& text, const QDateTime& time);
    // Writes a row, or ends the recording and reports the failure.
    void record(const QDateTime& time, const QString& reading, const QString& event);
    bool writeRow(const QDateTime& time, const QString& reading, const QString& event);
    bool writeLine(const QByteArray& bytes);
    void fail();

    const SupplyModel& model_;
    QFile file_;
    std::array<QString, CsvFormat::ValueColumnCount> values_;
    qint64 rows_ = 0;
    QString error_;
    std::function<QString()> stoppedSuffix_;
};
