#include "StepEditor.h"

#include "RampDialog.h"
#include "program/ProgramFile.h"
#include "protocol/NumberText.h"
#include "record/CsvFormat.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum Column { VoltageColumn, CurrentColumn, DwellColumn, OutputColumn, UntilColumn, ColumnCount };

const QColor BadCell(255, 200, 200);

} // namespace

StepEditor::StepEditor(QWidget* parent)
    : QWidget(parent), table_(new QTableWidget(0, ColumnCount, this)) {
    chooser_ = [this](bool save) {
        const QString filter = tr("程序文件 (*.csv)");
        return save ? QFileDialog::getSaveFileName(this, tr("保存程序"), fileName_, filter)
                    : QFileDialog::getOpenFileName(this, tr("打开程序"), fileName_, filter);
    };
    table_->setObjectName(QStringLiteral("ProgramTable"));
    table_->setHorizontalHeaderLabels(
        {tr("电压(V)"), tr("电流(A)"), tr("停留(s)"), tr("输出"), tr("结束条件")});
    table_->horizontalHeaderItem(UntilColumn)
        ->setToolTip(tr("空，或读数到达时提前结束本步：I<0.05、I>1.5、V<3.0、V>12"));
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    connect(table_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (filling_)
            return;
        fileName_.clear();
        const QSignalBlocker blocker(table_);
        item->setBackground(QBrush());
        if (item->column() == OutputColumn)
            item->setText(item->checkState() == Qt::Checked ? tr("开") : tr("关"));
    });

    auto* row = new QHBoxLayout;
    row->addWidget(button(tr("打开…"), "ProgramOpen", [this] {
        const QString path = chooser_(false);
        if (!path.isEmpty())
            load(path);
    }));
    row->addWidget(button(tr("保存…"), "ProgramSave", [this] {
        const QString path = chooser_(true);
        if (!path.isEmpty())
            save(path);
    }));
    row->addStretch();
    row->addWidget(button(tr("添加"), "ProgramAdd", [this] { addStep(); }));
    row->addWidget(button(tr("删除"), "ProgramRemove", [this] { removeStep(); }));
    row->addWidget(button(tr("上移"), "ProgramUp", [this] { moveRow(-1); }));
    row->addWidget(button(tr("下移"), "ProgramDown", [this] { moveRow(1); }));
    row->addWidget(button(tr("斜坡…"), "ProgramRamp", [this] { rampDialog(); }));

    // Part of the program window's own column: no margins of its own.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(row);
    layout->addWidget(table_);
}

QPushButton* StepEditor::button(const QString& text, const char* name, std::function<void()> slot) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(QLatin1String(name));
    connect(b, &QPushButton::clicked, this, std::move(slot));
    buttons_.append(b);
    return b;
}

void StepEditor::addRow(const ProgramStep& step) {
    const QSignalBlocker blocker(table_);
    const int row = table_->rowCount();
    table_->insertRow(row);
    table_->setItem(row, VoltageColumn, new QTableWidgetItem(CsvFormat::numberText(step.voltage)));
    table_->setItem(row, CurrentColumn, new QTableWidgetItem(CsvFormat::numberText(step.current)));
    table_->setItem(row, DwellColumn,
                    new QTableWidgetItem(CsvFormat::numberText(step.dwellSeconds)));
    auto* output = new QTableWidgetItem(step.output == OutputState::On ? tr("开") : tr("关"));
    output->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    output->setCheckState(step.output == OutputState::On ? Qt::Checked : Qt::Unchecked);
    table_->setItem(row, OutputColumn, output);
    table_->setItem(row, UntilColumn,
                    new QTableWidgetItem(step.until ? step.until->text() : QString()));
    fileName_.clear();
}

void StepEditor::addStep() {
    const int row = table_->rowCount();
    ProgramStep step;
    if (const std::optional<ProgramSteps> now = steps(); now && !now->empty())
        step = now->back();
    addRow(step);
    table_->selectRow(row);
}

void StepEditor::removeStep() {
    if (table_->currentRow() >= 0) {
        table_->removeRow(table_->currentRow());
        fileName_.clear();
    }
}

bool StepEditor::readCell(int row, int column, ProgramStep& step) {
    QTableWidgetItem* item = table_->item(row, column);
    const QString text = item ? item->text().trimmed() : QString();
    bool ok = true;
    if (column == UntilColumn) {
        step.until = StepCondition::parse(text);
        ok = text.isEmpty() || step.until;
    } else {
        double* const numbers[] = {&step.voltage, &step.current, &step.dwellSeconds};
        const std::optional<double> value = NumberText::parseDecimal(text);
        ok = value && (column != DwellColumn || ProgramLimits::dwellAllowed(*value));
        if (ok)
            *numbers[column] = *value;
    }
    if (!ok && item) {
        const QSignalBlocker blocker(table_);
        item->setBackground(BadCell);
    }
    return ok;
}

std::optional<ProgramSteps> StepEditor::steps() {
    ProgramSteps result;
    bool numbersGood = true;
    bool conditionsGood = true;
    for (int row = 0; row < table_->rowCount(); ++row) {
        ProgramStep step;
        for (int c = VoltageColumn; c <= DwellColumn; ++c)
            numbersGood = readCell(row, c, step) && numbersGood;
        conditionsGood = readCell(row, UntilColumn, step) && conditionsGood;
        step.output = table_->item(row, OutputColumn)->checkState() == Qt::Checked
                          ? OutputState::On
                          : OutputState::Off;
        result.push_back(step);
    }
    if (!numbersGood)
        emit problem(tr("标记的格子不是数字，或停留时间不在 %1 到 %2 秒之间")
                         .arg(ProgramLimits::MinDwellSeconds)
                         .arg(ProgramLimits::MaxDwellSeconds));
    else if (!conditionsGood)
        emit problem(tr("标记的结束条件应为空，或 I<数、I>数、V<数、V>数 之一（如 I<0.05）"));
    if (!numbersGood || !conditionsGood)
        return std::nullopt;
    return result;
}

void StepEditor::setSteps(const ProgramSteps& steps) {
    filling_ = true;
    table_->setRowCount(0);
    for (const ProgramStep& step : steps)
        addRow(step);
    filling_ = false;
}

void StepEditor::appendSteps(const ProgramSteps& steps) {
    for (const ProgramStep& step : steps)
        addRow(step);
}

bool StepEditor::load(const QString& path) {
    const ProgramFile::Result result = ProgramFile::read(path);
    if (result.problem) {
        emit problem(ProgramFile::describe(*result.problem));
        return false;
    }
    setSteps(result.steps);
    fileName_ = path;
    withUntil_ = result.withUntil;
    emit problem(QString());
    return true;
}

bool StepEditor::save(const QString& path) {
    const std::optional<ProgramSteps> now = steps();
    if (!now)
        return false;
    QString error;
    if (!ProgramFile::write(path, *now, &error, withUntil_)) {
        emit problem(tr("无法保存：%1").arg(error));
        return false;
    }
    fileName_ = path;
    emit problem(QString());
    return true;
}

void StepEditor::moveRow(int by) {
    const int row = table_->currentRow();
    const int to = row + by;
    if (row < 0 || to < 0 || to >= table_->rowCount())
        return;
    std::optional<ProgramSteps> now = steps();
    if (!now)
        return;
    std::swap((*now)[size_t(row)], (*now)[size_t(to)]);
    setSteps(*now);
    table_->selectRow(to);
}

void StepEditor::markRows(const std::vector<int>& rows) {
    const QSignalBlocker blocker(table_);
    for (int row = 0; row < table_->rowCount(); ++row)
        for (int c = VoltageColumn; c <= CurrentColumn; ++c)
            table_->item(row, c)->setBackground(QBrush());
    for (int row : rows)
        for (int c = VoltageColumn; c <= CurrentColumn; ++c)
            table_->item(row, c)->setBackground(BadCell);
}

void StepEditor::showStep(int index) {
    table_->selectRow(index);
}

void StepEditor::setEditable(bool editable) {
    for (QPushButton* b : buttons_)
        b->setEnabled(editable);
    table_->setEditTriggers(editable ? QAbstractItemView::AllEditTriggers
                                     : QAbstractItemView::NoEditTriggers);
}

void StepEditor::rampDialog() {
    RampDialog dialog(this);
    if (dialog.exec() == QDialog::Accepted && dialog.ramp())
        appendSteps(*dialog.ramp());
}
