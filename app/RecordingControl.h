#pragma once

#include "MessageBoxes.h"

#include <QObject>
#include <QRect>
#include <QString>

#include <functional>

class CsvRecorder;
class MessageLine;
class QDateTime;
class QLabel;
class QWidget;
class ReadoutMenu;
struct Controls;

// The operator's side of recording: the two menu entries and Ctrl+R start
// and stop it, a file dialog asks where, a red "● 记录" with the row count
// shows that it runs, and a recording that fails is reported on the message
// line and in a box. Nothing else on the panel changes.
class RecordingControl : public QObject {
    Q_OBJECT
public:
    // Asks where to record, proposing a path; empty when the operator
    // cancelled. It asks itself before an existing file is replaced.
    using FileChooser = std::function<QString(const QString& proposedPath)>;

    static QString failurePrefix(); // "记录失败："

    RecordingControl(QWidget& window, CsvRecorder& recorder, ReadoutMenu& menu,
                     MessageLine& message, const MessageBoxes& boxes, const QRect& indicatorPlace);

    // velmor-YYYYMMDD-HHMMSS.csv for `now`, in the documents folder.
    static QString proposedPath(const QDateTime& now);
    // Over the right end of the message line, just above the date and the
    // time: no control moves, and a message of the panel's own stays clear.
    static QRect indicatorPlace(const Controls& ui);

    void replaceChooser(FileChooser chooser) { chooser_ = std::move(chooser); }

    // Ctrl+R: stops a recording, or asks for a file and starts one.
    void toggle();
    void chooseAndStart();
    void stop();
    // A recording that failed, or could not start, for the reason given.
    void report(const QString& reason);

    const QLabel& indicator() const { return *indicator_; }

private:
    void showRecording(bool recording);
    void showRows(qint64 rows);

    CsvRecorder& recorder_;
    ReadoutMenu& menu_;
    MessageLine& message_;
    const MessageBoxes& boxes_;
    QWidget& window_;
    QLabel* indicator_;
    FileChooser chooser_;
};
