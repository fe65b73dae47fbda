#pragma once

#include "StepEditor.h"
#include "program/ProgramRun.h"

#include <QWidget>

#include <optional>

class QLabel;
class QTableWidget;
class RatingLimits;
class RunMonitor;

// "程序运行": the step editor above, the run monitor below and a line that
// says why something was refused. It only shows the run and asks it; the run
// itself is the core's. Closing the window stops a run that is going.
class ProgramWindow : public QWidget {
    Q_OBJECT
public:
    using FileChooser = StepEditor::FileChooser;

    ProgramWindow(ProgramRun& run, const RatingLimits& rating, QWidget* owner);

    void replaceChooser(FileChooser chooser) { editor_->replaceChooser(std::move(chooser)); }

    // The table's steps; nothing, with the bad cells marked, when a cell does
    // not hold what its column takes.
    std::optional<ProgramSteps> steps() { return editor_->steps(); }
    void setSteps(const ProgramSteps& steps) { editor_->setSteps(steps); }
    bool load(const QString& path) { return editor_->load(path); }
    bool save(const QString& path) { return editor_->save(path); }
    // Appends a ramp asked for in the ramp dialog.
    void appendSteps(const ProgramSteps& steps) { editor_->appendSteps(steps); }

    // Checks the steps against the rating's limits and starts the run.
    void startRun();
    void pauseOrResume();
    void stopRun();

    QTableWidget& table() const { return editor_->table(); }
    QString statusText() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void showEnd(ProgramRun::End end, int index);
    void showStatus(const QString& text);

    ProgramRun& run_;
    const RatingLimits& rating_;
    StepEditor* editor_;
    RunMonitor* monitor_;
    QLabel* status_;
};
