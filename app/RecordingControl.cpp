#include "RecordingControl.h"

#include "Controls.h"
#include "MessageLine.h"
#include "ReadoutMenu.h"
#include "record/CsvRecorder.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QShortcut>
#include <QStandardPaths>

QString RecordingControl::failurePrefix() {
    return tr("记录失败：");
}

RecordingControl::RecordingControl(QWidget& window, CsvRecorder& recorder, ReadoutMenu& menu,
                                   MessageLine& message, const MessageBoxes& boxes,
                                   const QRect& indicatorPlace)
    : QObject(&window), recorder_(recorder), menu_(menu), message_(message), boxes_(boxes),
      window_(window), indicator_(new QLabel(&window)) {
    indicator_->setObjectName(QStringLiteral("RecordingIndicator"));
    indicator_->setTextFormat(Qt::PlainText);
    indicator_->setGeometry(indicatorPlace);
    indicator_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QPalette palette = indicator_->palette();
    palette.setColor(QPalette::WindowText, Qt::red);
    indicator_->setPalette(palette);
    indicator_->hide();

    chooser_ = [this](const QString& proposed) {
        return QFileDialog::getSaveFileName(&window_, tr("开始记录"), proposed,
                                            tr("CSV 文件 (*.csv)"));
    };

    connect(menu.startRecording(), &QAction::triggered, this, &RecordingControl::chooseAndStart);
    connect(menu.stopRecording(), &QAction::triggered, this, &RecordingControl::stop);
    auto* shortcut = new QShortcut(ReadoutMenu::recordingShortcut(), &window);
    connect(shortcut, &QShortcut::activated, this, &RecordingControl::toggle);

    connect(&recorder, &CsvRecorder::recordingChanged, this, &RecordingControl::showRecording);
    connect(&recorder, &CsvRecorder::rowsWritten, this, &RecordingControl::showRows);
    connect(&recorder, &CsvRecorder::failed, this, &RecordingControl::report);
}

QString RecordingControl::proposedPath(const QDateTime& now) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    return QDir(folder).filePath(QStringLiteral("velmor-") +
                                 now.toString(QStringLiteral("yyyyMMdd-HHmmss")) +
                                 QStringLiteral(".csv"));
}

QRect RecordingControl::indicatorPlace(const Controls& ui) {
    const int left = ui.LblNewDate->x();
    return QRect(left, ui.msgLab->y(), ui.LblNowTime->geometry().right() + 1 - left,
                 ui.msgLab->height());
}

void RecordingControl::toggle() {
    if (recorder_.isRecording())
        stop();
    else
        chooseAndStart();
}

void RecordingControl::chooseAndStart() {
    if (recorder_.isRecording())
        return;
    const QString path = chooser_(proposedPath(QDateTime::currentDateTime()));
    if (path.isEmpty())
        return;
    // The dialog has asked before replacing a file.
    if (!recorder_.start(path, CsvRecorder::Existing::Replace))
        report(recorder_.errorString());
}

void RecordingControl::stop() {
    recorder_.stop();
}

void RecordingControl::showRecording(bool recording) {
    menu_.setRecording(recording);
    indicator_->setToolTip(recording ? QDir::toNativeSeparators(recorder_.fileName()) : QString());
    showRows(recorder_.rowCount());
    indicator_->setVisible(recording);
    if (recording)
        indicator_->raise();
}

void RecordingControl::showRows(qint64 rows) {
    indicator_->setText(tr("● 记录 %1").arg(rows));
}

void RecordingControl::report(const QString& reason) {
    const QString text = failurePrefix() + reason;
    message_.show(text);
    // The failure may come from inside the reply decoder: the modal box waits
    // until that has returned.
    QMetaObject::invokeMethod(
        this,
        [this, text] {
            boxes_.show({text, tr("Velmor电源"), MessageBoxes::Icon::Warning});
        },
        Qt::QueuedConnection);
}
