#include "CsvRecorder.h"

#include "supply/SupplyModel.h"

#include <sys/stat.h>

CsvRecorder::CsvRecorder(const SupplyModel& model, QObject* parent)
    : QObject(parent), model_(model) {
    connect(&model, &SupplyModel::changed, this, &CsvRecorder::onChanged);
    connect(&model, &SupplyModel::linkEvent, this, &CsvRecorder::onLinkEvent);
    connect(&model, &SupplyModel::noted, this, &CsvRecorder::onNote);
}

CsvRecorder::~CsvRecorder() {
    stop();
}

bool CsvRecorder::start(const QString& path, Existing existing) {
    stop();
    error_.clear();
    rows_ = 0;
    file_.setFileName(path);
    // Unbuffered: every write goes straight to the system, so a row is
    // either there whole or not at all when the program dies.
    const QIODevice::OpenMode mode =
        QIODevice::WriteOnly | QIODevice::Unbuffered |
        (existing == Existing::Refuse ? QIODevice::NewOnly : QIODevice::Truncate);
    if (!file_.open(mode)) {
        error_ = file_.errorString();
        return false;
    }
    // A recording started mid-run holds what is already known.
    for (int q = 0; q < QuantityCount; ++q) {
        const auto quantity = static_cast<Quantity>(q);
        const int column = CsvFormat::valueColumn(quantity);
        if (column >= 0)
            values_[column] = model_.known(quantity)
                                  ? CsvFormat::valueText(quantity, model_.reading(quantity).value)
                                  : QString();
    }
    const QString started =
        CsvFormat::recordingStartedText(model_.portName(), model_.lineSettings());
    if (!writeLine((CsvFormat::header() + u'\n').toUtf8()) ||
        !writeRow(QDateTime::currentDateTime(), {}, started)) {
        file_.close();
        return false;
    }
    emit recordingChanged(true);
    return true;
}

void CsvRecorder::stop() {
    if (!isRecording())
        return;
    QString stopped = CsvFormat::recordingStoppedText();
    if (stoppedSuffix_)
        stopped += u' ' + stoppedSuffix_();
    if (!writeRow(QDateTime::currentDateTime(), {}, stopped)) {
        fail();
        return;
    }
    file_.close();
    emit recordingChanged(false);
}

void CsvRecorder::onChanged(Quantity quantity, const QVariant& value, const QDateTime& time) {
    const int column = CsvFormat::valueColumn(quantity);
    if (!isRecording() || column < 0)
        return;
    values_[column] = CsvFormat::valueText(quantity, value);
    record(time, CsvFormat::columnName(quantity), {});
}

void CsvRecorder::onLinkEvent(LinkEvent event, const QDateTime& time) {
    if (isRecording())
        record(time, {}, linkEventText(event));
}

void CsvRecorder::onNote(const QString& text, const QDateTime& time) {
    if (isRecording())
        record(time, {}, text);
}

void CsvRecorder::record(const QDateTime& time, const QString& reading, const QString& event) {
    if (!writeRow(time, reading, event))
        fail();
}

bool CsvRecorder::writeRow(const QDateTime& time, const QString& reading, const QString& event) {
    QStringList fields;
    fields.reserve(CsvFormat::ColumnCount);
    fields << CsvFormat::timeText(time) << reading;
    for (const QString& value : values_)
        fields << value;
    fields << event;
    if (!writeLine(CsvFormat::line(fields)))
        return false;
    ++rows_;
    emit rowsWritten(rows_);
    return true;
}

bool CsvRecorder::writeLine(const QByteArray& bytes) {
    if (file_.write(bytes) != bytes.size()) {
        error_ = file_.errorString();
        return false;
    }
    // A deleted file takes every write without complaint and keeps none of
    // it: say so at once rather than record into nothing.
    struct stat info {};
    if (::fstat(file_.handle(), &info) == 0 && info.st_nlink == 0) {
        error_ = tr("文件已被删除");
        return false;
    }
    return true;
}

void CsvRecorder::fail() {
    file_.close();
    emit recordingChanged(false);
    emit failed(error_);
}
