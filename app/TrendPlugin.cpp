#include "TrendPlugin.h"

#include "TrendWindow.h"

namespace {

TrendWindow* connected(TrendWindow* window, const TrendModule::OpenHandler& open) {
    QObject::connect(window, &TrendWindow::openRequested, window, open);
    return window;
}

} // namespace

QWidget* TrendPlugin::liveWindow(const ReadingHistory& history, const OpenHandler& open,
                                 QWidget* parent) {
    return connected(new TrendWindow(history, parent), open);
}

QWidget* TrendPlugin::fileWindow(std::unique_ptr<ReadingHistory> recording, const QString& path,
                                 const QString& note, const OpenHandler& open, QWidget* parent) {
    return connected(new TrendWindow(std::move(recording), path, note, parent), open);
}

QString TrendPlugin::liveTitle() const {
    return TrendWindow::liveTitle();
}
