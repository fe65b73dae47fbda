#pragma once

#include "program/WatchLimits.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

// "监视限值": the optional lower and upper bound of the measured voltage and
// current, each with its action. Shows the watch's settings when opened and
// gives them back on OK; a bound that is not a number, or a band upside
// down, keeps the dialog open with a note.
class WatchDialog : public QDialog {
    Q_OBJECT
public:
    WatchDialog(WatchLimits& watch, QWidget* parent);

    // Fills the rows from the watch's settings.
    void showSettings();
    // Reads the rows and hands them to the watch; false, with the note
    // shown, when they are refused.
    bool apply();
    QString noteText() const;

private:
    struct Row {
        QCheckBox* enabled;
        QLineEdit* value;
        QComboBox* action;
    };
    std::optional<WatchLimits::Bound> boundOf(const Row& row, bool* ok) const;
    void fill(Row& row, const std::optional<WatchLimits::Bound>& bound);

    WatchLimits& watch_;
    Row rows_[4];
    QLabel* note_;
};
