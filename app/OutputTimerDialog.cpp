#include "OutputTimerDialog.h"

#include "meter/OutputTimer.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QSpinBox* spinBox(const char* name, int highest, const QString& suffix, QWidget* parent) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setRange(0, highest);
    box->setSuffix(suffix);
    return box;
}

} // namespace

OutputTimerDialog::OutputTimerDialog(OutputTimer& timer, QWidget* parent)
    : QDialog(parent), timer_(timer),
      hours_(spinBox("TimerHours", int(OutputTimer::Longest.count() / 3600), tr(" 时"), this)),
      minutes_(spinBox("TimerMinutes", 59, tr(" 分"), this)),
      seconds_(spinBox("TimerSeconds", 59, tr(" 秒"), this)), note_(new QLabel(this)) {
    setObjectName(QStringLiteral("OutputTimerDialog"));
    setWindowTitle(tr("输出定时"));
    auto* intro = new QLabel(tr("输出打开后经过此时间自动关闭输出："), this);
    auto* fields = new QHBoxLayout;
    fields->addWidget(hours_);
    fields->addWidget(minutes_);
    fields->addWidget(seconds_);
    note_->setObjectName(QStringLiteral("TimerNote"));
    note_->setTextFormat(Qt::PlainText);
    note_->setStyleSheet(QStringLiteral("color: #c00000"));
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* start = buttons->addButton(tr("开始"), QDialogButtonBox::AcceptRole);
    start->setObjectName(QStringLiteral("TimerStart"));
    QPushButton* cancel = buttons->addButton(tr("取消定时"), QDialogButtonBox::DestructiveRole);
    cancel->setObjectName(QStringLiteral("TimerCancel"));
    buttons->addButton(QDialogButtonBox::Close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(fields);
    layout->addWidget(note_);
    layout->addWidget(buttons);

    connect(start, &QPushButton::clicked, this, [this] {
        if (apply())
            accept();
    });
    connect(cancel, &QPushButton::clicked, this, [this] {
        timer_.cancel();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    choose(timer_.isActive() ? timer_.duration() : std::chrono::hours(1));
}

std::chrono::seconds OutputTimerDialog::chosen() const {
    return std::chrono::hours(hours_->value()) + std::chrono::minutes(minutes_->value()) +
           std::chrono::seconds(seconds_->value());
}

void OutputTimerDialog::choose(std::chrono::seconds duration) {
    const qint64 s = duration.count();
    hours_->setValue(int(s / 3600));
    minutes_->setValue(int(s / 60 % 60));
    seconds_->setValue(int(s % 60));
}

bool OutputTimerDialog::apply() {
    if (!timer_.start(chosen())) {
        note_->setText(tr("定时应在 1 秒到 %1 小时之间").arg(OutputTimer::Longest.count() / 3600));
        return false;
    }
    note_->clear();
    return true;
}

QString OutputTimerDialog::noteText() const {
    return note_->text();
}
