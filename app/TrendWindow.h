#pragma once

#include "MessageBoxes.h"
#include "supply/ReadingHistory.h"

#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

class QAbstractButton;
class QButtonGroup;
class QLabel;
class TrendChart;
class TrendView;

// A window with the trend chart of one reading history: the live one, which
// it follows as readings come, or one read from a recording. Spans of a
// minute to a day or everything; a wheel turn zooms and a drag pans, both
// stop following the latest readings until "跟随" is pressed; the pointer
// over the chart shows the time and the nearest readings. The view can be
// saved as a picture and the history as a recording. The measured power
// is shown beside them on the operator's asking.
class TrendWindow : public QWidget {
    Q_OBJECT
public:
    enum class Span { Minute, TenMinutes, Hour, Day, All };
    struct PathQuestion {
        enum class Kind { SavePicture, SaveRecording, OpenRecording };
        Kind kind;
        QString proposal;
    };
    // Returns the path chosen, empty when the operator cancelled.
    using PathAsker = std::function<QString(const PathQuestion&)>;

    static QString liveTitle();
    static QString fileTitle(const QString& path);

    // The live window: follows the history, which outlives it.
    explicit TrendWindow(const ReadingHistory& history, QWidget* parent = nullptr);
    // A window of a recording, which it keeps; the note says what could not
    // be read.
    TrendWindow(std::unique_ptr<ReadingHistory> recording, const QString& path, const QString& note,
                QWidget* parent = nullptr);
    ~TrendWindow() override;

    void setSpan(Span span);
    void setFollowing(bool following);
    bool following() const { return following_; }
    // The time shown, in ms since the epoch.
    qint64 viewFrom() const { return from_; }
    qint64 viewTo() const { return to_; }
    // Draws what has come since the last drawing now rather than at the
    // next refresh tick.
    void refresh();

    bool savePicture(const QString& path, QString* error);
    bool saveRecording(const QString& path, QString* error) const;

    TrendChart& chart() const { return *chart_; }
    TrendView& view() const { return *view_; }
    MessageBoxes& messageBoxes() { return boxes_; }
    void replacePathAsker(PathAsker asker) { askPath_ = std::move(asker); }

signals:
    // The operator chose a recording to open in a window of its own.
    void openRequested(const QString& path);

protected:
    void showEvent(QShowEvent* event) override;

private:
    // owned is a reference so that the history it holds is still there while
    // the caller's arguments, among them *owned, are evaluated.
    TrendWindow(const ReadingHistory& history, std::unique_ptr<ReadingHistory>&& owned, bool live,
                QWidget* parent);
    void buildControls(bool live);
    void historyChanged();
    void chooseSpan(Span span);
    void zoom(double factor, double at);
    void pan(double share);
    void hover(double at, const QPoint& globalPos);
    void endHover();
    void followLatest();
    void draw();
    void showSpanButtons();
    void askAndSavePicture();
    void askAndSaveRecording();
    void askAndOpen();
    QString defaultAsk(const PathQuestion& question);

    std::unique_ptr<ReadingHistory> owned_;
    const ReadingHistory& history_;
    TrendChart* chart_;
    TrendView* view_;
    QButtonGroup* spans_ = nullptr;
    QAbstractButton* followButton_ = nullptr;
    QLabel* waiting_ = nullptr;
    QLabel* hoverLabel_ = nullptr;
    QLabel* noteLabel_ = nullptr;
    MessageBoxes boxes_;
    PathAsker askPath_;
    QTimer refreshTimer_;
    bool dirty_ = true;
    bool following_ = true;
    bool all_ = false;
    qint64 width_;
    qint64 from_ = 0;
    qint64 to_ = 0;
};
