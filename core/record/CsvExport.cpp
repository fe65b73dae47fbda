#include "CsvExport.h"

#include "record/CsvFormat.h"

#include <QSaveFile>

#include <array>
#include <limits>
#include <optional>

namespace CsvExport {

namespace {

constexpr int Columns = CsvFormat::QuantityColumns;

QString valueText(Quantity quantity, double value) {
    switch (quantity) {
    case Quantity::Output:
        return CsvFormat::outputText(value != 0.0 ? OutputState::On : OutputState::Off);
    case Quantity::Mode:
        return CsvFormat::modeText(TrackingMode(int(value)));
    case Quantity::Channel:
        return CsvFormat::channelText(int(value));
    default:
        return CsvFormat::numberText(value);
    }
}

class RowWriter {
public:
    explicit RowWriter(QIODevice& device) : device_(device) {}

    void reading(qint64 msecs, Quantity quantity, double value) {
        known_[size_t(quantity)] = valueText(quantity, value);
        row(msecs, CsvFormat::columnName(quantity), QString());
    }
    void event(qint64 msecs, const QString& text) { row(msecs, QString(), text); }
    bool line(const QString& text) {
        buffer_ += text.toUtf8();
        buffer_ += '\n';
        return buffer_.size() < FlushBytes || flush();
    }
    bool flush() {
        const bool ok = device_.write(buffer_) == buffer_.size();
        buffer_.clear();
        ok_ = ok_ && ok;
        return ok_;
    }
    bool ok() const { return ok_; }

private:
    static constexpr qsizetype FlushBytes = 64 * 1024;

    void row(qint64 msecs, const QString& reading, const QString& event) {
        QStringList fields{CsvFormat::timeText(QDateTime::fromMSecsSinceEpoch(msecs)), reading};
        for (const QString& value : known_)
            fields << value;
        fields << CsvFormat::field(event);
        line(fields.join(QLatin1Char(',')));
    }

    QIODevice& device_;
    QByteArray buffer_;
    std::array<QString, Columns> known_;
    bool ok_ = true;
};

} // namespace

bool write(const ReadingHistory& history, QIODevice& device) {
    RowWriter writer(device);
    writer.line(CsvFormat::header());
    std::array<size_t, Columns> next{};
    size_t nextEvent = 0;
    const auto& events = history.events();
    while (writer.ok()) {
        // The earliest point left; at equal times the lower column first,
        // and readings before an event of the same millisecond.
        std::optional<int> pick;
        qint64 at = std::numeric_limits<qint64>::max();
        for (int i = 0; i < Columns; ++i) {
            const auto& points = history.points(Quantity(i));
            if (next[size_t(i)] < points.size() && points[next[size_t(i)]].msecs < at) {
                at = points[next[size_t(i)]].msecs;
                pick = i;
            }
        }
        if (nextEvent < events.size() && (!pick || events[nextEvent].msecs < at)) {
            writer.event(events[nextEvent].msecs, events[nextEvent].text);
            ++nextEvent;
            continue;
        }
        if (!pick)
            break;
        const auto& point = history.points(Quantity(*pick))[next[size_t(*pick)]++];
        writer.reading(point.msecs, Quantity(*pick), point.value);
    }
    return writer.flush();
}

bool writeFile(const ReadingHistory& history, const QString& path, QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    if (!write(history, file) || !file.commit()) {
        *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

} // namespace CsvExport
