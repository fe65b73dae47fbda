#pragma once

#include "program/ProgramStep.h"

#include <QWidget>

#include <functional>
#include <optional>

class QPushButton;
class QTableWidget;

// The steps of a programmed run as a table (voltage, current, dwell, output
// and the condition that ends a step early), with the buttons that open and
// save a list file, add, remove and move steps and append a ramp. A list
// loaded without the "until" column is saved without it, unless a step has
// been given a condition meanwhile.
class StepEditor : public QWidget {
    Q_OBJECT
public:
    // Asks for a file to open or save; empty when the operator cancelled.
    using FileChooser = std::function<QString(bool save)>;

    explicit StepEditor(QWidget* parent);

    void replaceChooser(FileChooser chooser) { chooser_ = std::move(chooser); }

    // The table's steps; nothing, with the bad cells marked and the reason
    // told by problem(), when a cell does not hold what its column takes.
    std::optional<ProgramSteps> steps();
    void setSteps(const ProgramSteps& steps);
    void appendSteps(const ProgramSteps& steps);
    bool load(const QString& path);
    bool save(const QString& path);
    // The list file the table holds; empty once the table is edited.
    QString fileName() const { return fileName_; }

    // Marks the voltage and current of these rows, clearing other marks.
    void markRows(const std::vector<int>& rows);
    void showStep(int index);
    // Editing is locked while a run goes.
    void setEditable(bool editable);

    QTableWidget& table() const { return *table_; }

signals:
    // Why a file or a cell was refused; an empty text when all went well.
    void problem(const QString& text);

private:
    QPushButton* button(const QString& text, const char* name, std::function<void()> slot);
    void addRow(const ProgramStep& step);
    void addStep();
    void removeStep();
    void moveRow(int by);
    void rampDialog();
    // A cell's contents as its column takes them; false with the cell marked.
    bool readCell(int row, int column, ProgramStep& step);

    FileChooser chooser_;
    QTableWidget* table_;
    QList<QPushButton*> buttons_;
    QString fileName_;
    // The list came from a file with the "until" column.
    bool withUntil_ = false;
    bool filling_ = false;
};
