#include "TrendWindows.h"

#include "ModuleFile.h"
#include "TrendModule.h"

#include <QAction>
#include <QWidget>

TrendWindows::TrendWindows(const ReadingHistory& live, QWidget* owner)
    : QObject(owner), history_(live), owner_(owner), showAction_(new QAction(this)), boxes_(owner) {
    showAction_->setText(tr("趋势图"));
    showAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    connect(showAction_, &QAction::triggered, this, &TrendWindows::showLive);
}

TrendModule* TrendWindows::module() {
    if (module_)
        return module_;
    QString error;
    module_ = qobject_cast<TrendModule*>(
        ModuleFile::load(loader_, QStringLiteral(VELMOR_TREND_MODULE), &error));
    if (!module_)
        boxes_.show({tr("无法加载趋势图模块：") + error, owner_->windowTitle(),
                     MessageBoxes::Icon::Warning});
    return module_;
}

QWidget* TrendWindows::showLive() {
    if (!live_) {
        TrendModule* trend = module();
        if (!trend)
            return nullptr;
        live_ = trend->liveWindow(
            history_, [this](const QString& path) { openFile(path); }, owner_);
        track(live_);
    }
    live_->show();
    live_->raise();
    live_->activateWindow();
    return live_;
}

QWidget* TrendWindows::openFile(const QString& path) {
    TrendModule* trend = module();
    if (!trend)
        return nullptr;
    CsvReader::Result result = CsvReader::readFile(path);
    if (!result.history) {
        boxes_.show({tr("无法打开 %1：%2").arg(path, result.error), trend->liveTitle(),
                     MessageBoxes::Icon::Warning});
        return nullptr;
    }
    const QString text = note(result);
    QWidget* window = trend->fileWindow(
        std::move(result.history), path, text, [this](const QString& p) { openFile(p); }, owner_);
    window->setAttribute(Qt::WA_DeleteOnClose);
    files_ << window;
    track(window);
    window->show();
    return window;
}

QList<QWidget*> TrendWindows::fileWindows() const {
    QList<QWidget*> windows;
    for (const QPointer<QWidget>& window : files_) {
        if (window)
            windows << window;
    }
    return windows;
}

void TrendWindows::track(QWidget* window) {
    connect(window, &QObject::destroyed, this,
            [this] { files_.removeIf([](const QPointer<QWidget>& w) { return w.isNull(); }); });
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
