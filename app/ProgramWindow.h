#pragma once

#include "program/ProgramRun.h"

#include <QWidget>

#include <optional>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTimer;
class RatingLimits;

// "程序运行": the steps of a programmed run in a table, loaded from and saved
// to a list file, checked against the panel's limits, and the run started,
// paused and stopped. It only shows the run and asks it; the run itself is
// the core's. Closing the window stops a run that is going.
class ProgramWindow : public QWidget {
    Q_OBJECT
public:
    // Asks for a file to open or save; empty when the operator cancelled.
    using FileChooser = std::function<QString(bool save)>;

    ProgramWindow(ProgramRun& run, const RatingLimits& rating, QWidget* owner);

    void replaceChooser(FileChooser chooser) { chooser_ = std::move(chooser); }

    // The table's steps; nothing, with the bad cells marked, when a cell does
    // not hold a number.
    std::optional<ProgramSteps> steps();
    void setSteps(const ProgramSteps& steps);
    bool load(const QString& path);
    bool save(const QString& path);
    // Appends a ramp asked for in the ramp dialog.
    void appendSteps(const ProgramSteps& steps);

    void startRun();
    void pauseOrResume();
    void stopRun();

    QTableWidget& table() const { return *table_; }
    QString statusText() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void addRow(const ProgramStep& step);
    void moveRow(int by);
    void showState(ProgramRun::State state);
    void showEnd(ProgramRun::End end, int index);
    void showProgress();
    void markRows(const std::vector<int>& rows);
    void showStatus(const QString& text);
    void rampDialog();

    ProgramRun& run_;
    const RatingLimits& rating_;
    FileChooser chooser_;
    QTableWidget* table_;
    QSpinBox* repeat_;
    QCheckBox* endless_;
    QCheckBox* keepOutput_;
    QPushButton* start_;
    QPushButton* pause_;
    QPushButton* stop_;
    QList<QPushButton*> editing_;
    QProgressBar* progress_;
    QLabel* status_;
    QTimer* refresh_;
    // The list file the table holds, until the table is edited.
    QString fileName_;
    bool filling_ = false;
};
