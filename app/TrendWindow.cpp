#include "TrendWindow.h"

#include "TrendChart.h"
#include "TrendView.h"
#include "record/CsvExport.h"
#include "record/CsvFormat.h"

#include <QButtonGroup>
#include <QDateTimeAxis>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImageWriter>
#include <QLabel>
#include <QStandardPaths>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

namespace {

constexpr qint64 MinuteMs = 60 * 1000;
constexpr qint64 HourMs = 60 * MinuteMs;
constexpr qint64 DayMs = 24 * HourMs;
// Zooming stops at a few readings' worth and at a year.
constexpr qint64 MinWidthMs = 5 * 1000;
constexpr qint64 MaxWidthMs = 366 * DayMs;
// A cycle brings its five plotted readings within 3.5 s of its first: a
// drawing 4 s after the first change shows them all, once per 9 s cycle.
constexpr int MinRefreshMs = 4000;
constexpr int MaxRefreshMs = 60 * 1000;

struct SpanChoice {
    TrendWindow::Span span;
    const char* name;
    const char* text;
    qint64 msecs;
};
const std::array<SpanChoice, 5> kSpans = {{
    {TrendWindow::Span::Minute, "spanMinute", QT_TRANSLATE_NOOP("TrendWindow", "1 分钟"), MinuteMs},
    {TrendWindow::Span::TenMinutes, "spanTenMinutes", QT_TRANSLATE_NOOP("TrendWindow", "10 分钟"),
     10 * MinuteMs},
    {TrendWindow::Span::Hour, "spanHour", QT_TRANSLATE_NOOP("TrendWindow", "1 小时"), HourMs},
    {TrendWindow::Span::Day, "spanDay", QT_TRANSLATE_NOOP("TrendWindow", "24 小时"), DayMs},
    {TrendWindow::Span::All, "spanAll", QT_TRANSLATE_NOOP("TrendWindow", "全部"), 0},
}};

QString unit(Quantity quantity) {
    return TrendLines::isVoltage(quantity) ? QStringLiteral("V") : QStringLiteral("A");
}

bool plotsNothing(const ReadingHistory& history) {
    const auto empty = [&history](Quantity q) { return history.points(q).empty(); };
    return std::all_of(TrendLines::Plotted.begin(), TrendLines::Plotted.end(), empty) &&
           empty(Quantity::Output);
}

QString stamp() {
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

} // namespace

QString TrendWindow::liveTitle() {
    return tr("趋势图 - Velmor电源监控-V3.5");
}

QString TrendWindow::fileTitle(const QString& path) {
    return QFileInfo(path).fileName() + QStringLiteral(" - ") + liveTitle();
}

TrendWindow::TrendWindow(const ReadingHistory& history, QWidget* parent)
    : TrendWindow(history, std::unique_ptr<ReadingHistory>(), true, parent) {
    setWindowTitle(liveTitle());
}

TrendWindow::TrendWindow(std::unique_ptr<ReadingHistory> recording, const QString& path,
                         const QString& note, QWidget* parent)
    : TrendWindow(*recording, std::move(recording), false, parent) {
    setWindowTitle(fileTitle(path));
    noteLabel_->setText(note);
    noteLabel_->setVisible(!note.isEmpty());
}

TrendWindow::TrendWindow(const ReadingHistory& history, std::unique_ptr<ReadingHistory>&& owned,
                         bool live, QWidget* parent)
    : QWidget(parent, Qt::Window), owned_(std::move(owned)), history_(history),
      chart_(new TrendChart), view_(new TrendView(chart_, this)), boxes_(this),
      askPath_([this](const PathQuestion& q) { return defaultAsk(q); }),
      width_(live ? 10 * MinuteMs : 0) {
    setObjectName(QStringLiteral("TrendWindow"));
    view_->setObjectName(QStringLiteral("trendView"));
    all_ = !live;
    buildControls(live);
    resize(960, 560);

    refreshTimer_.setSingleShot(true);
    connect(&refreshTimer_, &QTimer::timeout, this, &TrendWindow::draw);
    connect(&history_, &ReadingHistory::pointAdded, this, [this](Quantity quantity) {
        if (quantity == Quantity::Output ||
            std::find(TrendLines::Plotted.begin(), TrendLines::Plotted.end(), quantity) !=
                TrendLines::Plotted.end())
            historyChanged();
    });
    connect(&history_, &ReadingHistory::eventAdded, this, &TrendWindow::historyChanged);
    connect(view_, &TrendView::zoomRequested, this, &TrendWindow::zoom);
    connect(view_, &TrendView::panRequested, this, &TrendWindow::pan);
    connect(view_, &TrendView::hovered, this, &TrendWindow::hover);
    connect(view_, &TrendView::hoverLeft, this, &TrendWindow::endHover);
}

TrendWindow::~TrendWindow() = default;

void TrendWindow::buildControls(bool live) {
    auto* bar = new QHBoxLayout;
    spans_ = new QButtonGroup(this);
    for (const SpanChoice& choice : kSpans) {
        auto* button = new QToolButton(this);
        button->setObjectName(QLatin1String(choice.name));
        button->setText(tr(choice.text));
        button->setCheckable(true);
        button->setChecked(all_ ? choice.span == Span::All : choice.msecs == width_);
        spans_->addButton(button, int(choice.span));
        bar->addWidget(button);
    }
    connect(spans_, &QButtonGroup::idClicked, this, [this](int id) { chooseSpan(Span(id)); });

    auto* follow = new QToolButton(this);
    follow->setObjectName(QStringLiteral("followButton"));
    follow->setText(tr("跟随"));
    follow->setCheckable(true);
    follow->setChecked(true);
    follow->setVisible(live);
    connect(follow, &QToolButton::toggled, this, &TrendWindow::setFollowing);
    followButton_ = follow;
    bar->addSpacing(12);
    bar->addWidget(follow);

    // Off at first: the chart looks as it always has until asked.
    auto* power = new QToolButton(this);
    power->setObjectName(QStringLiteral("powerButton"));
    power->setText(TrendChart::powerName());
    power->setCheckable(true);
    connect(power, &QToolButton::toggled, this, [this](bool shown) {
        chart_->setPowerShown(shown);
        draw();
    });
    bar->addSpacing(12);
    bar->addWidget(power);
    bar->addStretch();

    const auto action = [this, bar](const char* objectName, const QString& text,
                                    void (TrendWindow::*slot)()) {
        auto* button = new QToolButton(this);
        button->setObjectName(QLatin1String(objectName));
        button->setText(text);
        connect(button, &QToolButton::clicked, this, slot);
        bar->addWidget(button);
    };
    action("savePictureButton", tr("保存图片…"), &TrendWindow::askAndSavePicture);
    action("saveRecordingButton", tr("导出CSV…"), &TrendWindow::askAndSaveRecording);
    action("openRecordingButton", tr("打开CSV…"), &TrendWindow::askAndOpen);

    noteLabel_ = new QLabel(this);
    noteLabel_->setObjectName(QStringLiteral("noteLabel"));
    noteLabel_->setTextFormat(Qt::PlainText);
    noteLabel_->setWordWrap(true);
    noteLabel_->setVisible(false);

    waiting_ = new QLabel(live ? tr("等待读数…") : tr("文件中没有读数"), this);
    waiting_->setObjectName(QStringLiteral("waitingLabel"));
    waiting_->setTextFormat(Qt::PlainText);
    waiting_->setAttribute(Qt::WA_TransparentForMouseEvents);
    QFont big = waiting_->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    waiting_->setFont(big);

    hoverLabel_ = new QLabel(this);
    hoverLabel_->setObjectName(QStringLiteral("hoverLabel"));
    hoverLabel_->setTextFormat(Qt::PlainText);

    // The note that waits for readings lies over the chart, in its cell.
    auto* plot = new QGridLayout;
    plot->addWidget(view_, 0, 0);
    plot->addWidget(waiting_, 0, 0, Qt::AlignCenter);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(noteLabel_);
    layout->addLayout(plot, 1);
    layout->addWidget(hoverLabel_);
}

void TrendWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (dirty_)
        draw();
}

void TrendWindow::historyChanged() {
    // A hidden window draws nothing; it catches up once shown.
    if (!isVisible()) {
        dirty_ = true;
        return;
    }
    if (refreshTimer_.isActive())
        return;
    // Nothing visible moves before a pixel's worth of time has passed: a
    // day across the plot is drawn again about every minute and a half.
    const double plotWidth = std::max(chart_->plotArea().width(), 1.0);
    refreshTimer_.start(int(
        std::clamp(double(to_ - from_) / plotWidth, double(MinRefreshMs), double(MaxRefreshMs))));
}

void TrendWindow::refresh() {
    refreshTimer_.stop();
    draw();
}

void TrendWindow::setSpan(Span span) {
    spans_->button(int(span))->setChecked(true);
    chooseSpan(span);
}

void TrendWindow::chooseSpan(Span span) {
    all_ = span == Span::All;
    if (!all_)
        width_ = kSpans[size_t(span)].msecs;
    // A paused view keeps its right edge, so the moment studied stays.
    if (following_ || all_)
        followLatest();
    else
        from_ = to_ - width_;
    draw();
}

void TrendWindow::setFollowing(bool following) {
    following_ = following;
    const QSignalBlocker blocker(followButton_);
    followButton_->setChecked(following);
    if (following)
        draw();
}

void TrendWindow::followLatest() {
    const qint64 latest =
        history_.isEmpty() ? QDateTime::currentMSecsSinceEpoch() : history_.lastMsecs();
    // A fiftieth of the width beyond the latest reading keeps it off the frame.
    if (all_) {
        const qint64 first = history_.isEmpty() ? latest : history_.firstMsecs();
        const qint64 width = std::max(latest - first, MinuteMs);
        from_ = latest - width - width / 50;
        to_ = latest + width / 50;
        return;
    }
    to_ = latest + width_ / 50;
    from_ = to_ - width_;
}

void TrendWindow::zoom(double factor, double at) {
    const double width = double(to_ - from_);
    const double t = double(from_) + at * width;
    const qint64 wider = std::clamp(qint64(width * factor), MinWidthMs, MaxWidthMs);
    from_ = qint64(t - at * double(wider));
    to_ = from_ + wider;
    width_ = wider;
    all_ = false;
    // The width is the operator's own now, none of the spans.
    spans_->setExclusive(false);
    for (QAbstractButton* button : spans_->buttons())
        button->setChecked(false);
    spans_->setExclusive(true);
    setFollowing(false);
    draw();
}

void TrendWindow::pan(double share) {
    const qint64 shift = qint64(share * double(to_ - from_));
    from_ += shift;
    to_ += shift;
    setFollowing(false);
    draw();
}

void TrendWindow::hover(double at, const QPoint& globalPos) {
    const qint64 t = from_ + qint64(at * double(to_ - from_));
    QStringList parts{
        QDateTime::fromMSecsSinceEpoch(t).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))};
    for (Quantity quantity : TrendLines::Plotted) {
        if (const auto p = TrendLines::nearest(history_.points(quantity), t, from_, to_))
            parts << TrendChart::quantityName(quantity) + QLatin1Char(' ') +
                         CsvFormat::numberText(p->value) + QLatin1Char(' ') + unit(quantity);
    }
    if (chart_->powerShown()) {
        if (const auto p =
                TrendLines::nearest(TrendLines::powerPoints(history_, from_, to_), t, from_, to_))
            parts << TrendChart::powerName() + QLatin1Char(' ') + CsvFormat::numberText(p->value) +
                         QStringLiteral(" W");
    }
    if (const auto p = TrendLines::nearest(history_.points(Quantity::Output), t, from_, to_))
        parts << TrendChart::quantityName(Quantity::Output) + QLatin1Char(' ') +
                     (p->value != 0.0 ? tr("开") : tr("关"));
    hoverLabel_->setText(parts.join(QStringLiteral("    ")));
    QToolTip::showText(globalPos, parts.join(QLatin1Char('\n')), view_);
}

void TrendWindow::endHover() {
    hoverLabel_->clear();
    QToolTip::hideText();
}

void TrendWindow::draw() {
    if (following_)
        followLatest();
    chart_->plot(history_, from_, to_);
    waiting_->setVisible(plotsNothing(history_));
    dirty_ = false;
}

bool TrendWindow::savePicture(const QString& path, QString* error) {
    refresh();
    QImageWriter writer(path, "png");
    if (!writer.write(grab().toImage())) {
        *error = writer.errorString();
        return false;
    }
    return true;
}

bool TrendWindow::saveRecording(const QString& path, QString* error) const {
    return CsvExport::writeFile(history_, path, error);
}

void TrendWindow::askAndSavePicture() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    const QString path =
        askPath_({PathQuestion::Kind::SavePicture,
                  folder + QStringLiteral("/velmor-trend-") + stamp() + QStringLiteral(".png")});
    QString error;
    if (!path.isEmpty() && !savePicture(path, &error))
        boxes_.show({tr("保存失败：%1").arg(error), windowTitle(), MessageBoxes::Icon::Warning});
}

void TrendWindow::askAndSaveRecording() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString path =
        askPath_({PathQuestion::Kind::SaveRecording,
                  folder + QStringLiteral("/velmor-") + stamp() + QStringLiteral(".csv")});
    QString error;
    if (!path.isEmpty() && !saveRecording(path, &error))
        boxes_.show({tr("导出失败：%1").arg(error), windowTitle(), MessageBoxes::Icon::Warning});
}

void TrendWindow::askAndOpen() {
    const QString path =
        askPath_({PathQuestion::Kind::OpenRecording,
                  QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)});
    if (!path.isEmpty())
        emit openRequested(path);
}

QString TrendWindow::defaultAsk(const PathQuestion& question) {
    switch (question.kind) {
    case PathQuestion::Kind::SavePicture:
        return QFileDialog::getSaveFileName(this, tr("保存图片"), question.proposal,
                                            tr("PNG 图片 (*.png)"));
    case PathQuestion::Kind::SaveRecording:
        return QFileDialog::getSaveFileName(this, tr("导出CSV"), question.proposal,
                                            tr("CSV 文件 (*.csv)"));
    case PathQuestion::Kind::OpenRecording:
        return QFileDialog::getOpenFileName(this, tr("打开CSV"), question.proposal,
                                            tr("CSV 文件 (*.csv);;所有文件 (*)"));
    }
    return QString();
}
