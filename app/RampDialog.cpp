#include "RampDialog.h"

#include "protocol/NumberText.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

RampDialog::RampDialog(QWidget* parent)
    : QDialog(parent), quantity_(new QComboBox(this)),
      from_(new QLineEdit(QStringLiteral("0"), this)),
      to_(new QLineEdit(QStringLiteral("12"), this)), count_(new QSpinBox(this)),
      total_(new QLineEdit(QStringLiteral("10"), this)),
      other_(new QLineEdit(QStringLiteral("1"), this)), note_(new QLabel(this)) {
    setWindowTitle(tr("斜坡"));
    quantity_->addItems({tr("电压"), tr("电流")});
    count_->setRange(2, ProgramLimits::MaxSteps);
    count_->setValue(10);
    auto* otherLabel = new QLabel(tr("电流(A)"), this);
    connect(quantity_, &QComboBox::currentIndexChanged, otherLabel, [otherLabel](int index) {
        otherLabel->setText(index == 0 ? tr("电流(A)") : tr("电压(V)"));
    });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* form = new QFormLayout(this);
    form->addRow(tr("斜坡量"), quantity_);
    form->addRow(tr("起点"), from_);
    form->addRow(tr("终点"), to_);
    form->addRow(tr("步数"), count_);
    form->addRow(tr("总时间(s)"), total_);
    form->addRow(otherLabel, other_);
    form->addRow(note_);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { tryAccept(); });
}

void RampDialog::tryAccept() {
    const auto number = [](const QLineEdit* edit) {
        return NumberText::parseDecimal(edit->text().trimmed());
    };
    const auto a = number(from_), b = number(to_), t = number(total_), o = number(other_);
    if (a && b && t && o)
        ramp_ = rampSteps(quantity_->currentIndex() == 0, *a, *b, count_->value(), *t, *o);
    if (!ramp_) {
        note_->setText(tr("请填数字（小数点用 .）；每步停留 %1 到 %2 秒")
                           .arg(ProgramLimits::MinDwellSeconds)
                           .arg(ProgramLimits::MaxDwellSeconds));
        return;
    }
    accept();
}
