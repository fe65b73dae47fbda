#include "TrendWindows.h"

#include <QAction>
#include <QWidget>

TrendWindows::TrendWindows(const ReadingHistory& live, QWidget* owner)
    : QObject(owner), history_(live), owner_(owner), showAction_(new QAction(this)), boxes_(owner) {
    showAction_->setText(tr("趋势图"));
    showAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    connect(showAction_, &QAction::triggered, this, &TrendWindows::showLive);
}

TrendWindow* TrendWindows::showLive() {
    if (!live_) {
        live_ = new TrendWindow(history_, owner_);
        track(live_);
    }
    live_->show();
    live_->raise();
    live_->activateWindow();
    return live_;
}

TrendWindow* TrendWindows::openFile(const QString& path) {
    CsvReader::Result result = CsvReader::readFile(path);
    if (!result.history) {
        boxes_.show({tr("无法打开 %1：%2").arg(path, result.error), TrendWindow::liveTitle(),
                     MessageBoxes::Icon::Warning});
        return nullptr;
    }
    const QString text = note(result);
    auto* window = new TrendWindow(std::move(result.history), path, text, owner_);
    window->setAttribute(Qt::WA_DeleteOnClose);
    files_ << window;
    track(window);
    window->show();
    return window;
}

QList<TrendWindow*> TrendWindows::fileWindows() const {
    QList<TrendWindow*> windows;
    for (const QPointer<TrendWindow>& window : files_) {
        if (window)
            windows << window;
    }
    return windows;
}

void TrendWindows::track(TrendWindow* window) {
    connect(window, &TrendWindow::openRequested, this, &TrendWindows::openFile);
    connect(window, &QObject::destroyed, this,
            [this] { files_.removeIf([](const QPointer<TrendWindow>& w) { return w.isNull(); }); });
}

QString TrendWindows::note(const CsvReader::Result& result) {
    QStringList parts;
    if (result.malformed > 0) {
        QStringList lines;
        for (qint64 line : result.malformedLines)
            lines << QString::number(line);
        if (result.malformed > result.malformedLines.size())
            lines << QStringLiteral("…");
        parts << tr("跳过了 %1 行格式不符的内容（第 %2 行）")
                     .arg(result.malformed)
                     //: Between the numbers of the lines skipped.
                     .arg(lines.join(tr("、")));
    }
    if (result.history->dropped() > 0)
        parts << tr("文件超出可显示的数量，最早的 %1 个读数未显示").arg(result.history->dropped());
    //: Between the two parts of the note above the chart.
    return parts.join(tr("；"));
}
