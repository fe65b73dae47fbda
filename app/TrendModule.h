#pragma once

#include <QString>
#include <QtPlugin>

#include <functional>
#include <memory>

class QWidget;
class ReadingHistory;

// What the trend window module gives the panel. The module holds the trend
// windows and Qt Charts with them; it is loaded on the first opening of a
// trend window, so that a run that never opens one never maps them. The
// module takes the core from the panel's own program.
class TrendModule {
public:
    // Called with the path of a recording the operator chose in a window.
    using OpenHandler = std::function<void(const QString& path)>;

    virtual ~TrendModule() = default;

    // The live window, which follows the history; the history outlives it.
    virtual QWidget* liveWindow(const ReadingHistory& history, const OpenHandler& open,
                                QWidget* parent) = 0;
    // A window of a recording, which it keeps; the note says what could not
    // be read.
    virtual QWidget* fileWindow(std::unique_ptr<ReadingHistory> recording, const QString& path,
                                const QString& note, const OpenHandler& open, QWidget* parent) = 0;
    // The live window's title, for the boxes about trend windows.
    virtual QString liveTitle() const = 0;
};

#define VelmorTrendModule_iid "org.velmor.monitor.TrendModule/1"
Q_DECLARE_INTERFACE(TrendModule, VelmorTrendModule_iid)
