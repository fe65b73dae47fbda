#include "WatchDialog.h"

#include "protocol/NumberText.h"
#include "record/CsvFormat.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

WatchDialog::WatchDialog(WatchLimits& watch, QWidget* parent)
    : QDialog(parent), watch_(watch), note_(new QLabel(this)) {
    setObjectName(QStringLiteral("WatchDialog"));
    setWindowTitle(tr("监视限值"));
    auto* grid = new QGridLayout(this);
    const QString names[] = {tr("电压下限(V)"), tr("电压上限(V)"), tr("电流下限(A)"),
                             tr("电流上限(A)")};
    for (int i = 0; i < 4; ++i) {
        Row& row = rows_[i];
        row.enabled = new QCheckBox(names[i], this);
        row.value = new QLineEdit(this);
        row.action = new QComboBox(this);
        row.action->addItems({tr("提示"), tr("提示并关闭输出")});
        row.enabled->setObjectName(QStringLiteral("WatchBound%1").arg(i));
        row.value->setObjectName(QStringLiteral("WatchValue%1").arg(i));
        row.action->setObjectName(QStringLiteral("WatchAction%1").arg(i));
        grid->addWidget(row.enabled, i, 0);
        grid->addWidget(row.value, i, 1);
        grid->addWidget(row.action, i, 2);
    }
    note_->setObjectName(QStringLiteral("WatchNote"));
    note_->setStyleSheet(QStringLiteral("color: #c00000"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    grid->addWidget(note_, 4, 0, 1, 3);
    grid->addWidget(buttons, 5, 0, 1, 3);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (apply())
            accept();
    });
    showSettings();
}

void WatchDialog::fill(Row& row, const std::optional<WatchLimits::Bound>& bound) {
    row.enabled->setChecked(bound.has_value());
    row.value->setText(bound ? CsvFormat::numberText(bound->value) : QString());
    row.action->setCurrentIndex(bound && bound->action == WatchLimits::Action::SwitchOff ? 1 : 0);
}

void WatchDialog::showSettings() {
    const WatchLimits::Settings& s = watch_.settings();
    fill(rows_[0], s.voltage.lower);
    fill(rows_[1], s.voltage.upper);
    fill(rows_[2], s.current.lower);
    fill(rows_[3], s.current.upper);
    note_->clear();
}

std::optional<WatchLimits::Bound> WatchDialog::boundOf(const Row& row, bool* ok) const {
    if (!row.enabled->isChecked())
        return std::nullopt;
    const std::optional<double> value = NumberText::parseDecimal(row.value->text().trimmed());
    if (!value) {
        *ok = false;
        return std::nullopt;
    }
    return WatchLimits::Bound{*value, row.action->currentIndex() == 1
                                          ? WatchLimits::Action::SwitchOff
                                          : WatchLimits::Action::Note};
}

bool WatchDialog::apply() {
    bool ok = true;
    WatchLimits::Settings s;
    s.voltage.lower = boundOf(rows_[0], &ok);
    s.voltage.upper = boundOf(rows_[1], &ok);
    s.current.lower = boundOf(rows_[2], &ok);
    s.current.upper = boundOf(rows_[3], &ok);
    if (!ok || !watch_.setSettings(s)) {
        note_->setText(tr("限值应为数字（小数点用 .），下限不大于上限"));
        return false;
    }
    note_->clear();
    return true;
}

QString WatchDialog::noteText() const {
    return note_->text();
}
