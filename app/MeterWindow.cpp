#include "MeterWindow.h"

#include "meter/EnergyMeter.h"
#include "meter/OutputTimer.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel* valueLabel(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setMinimumWidth(120);
    return label;
}

} // namespace

MeterWindow::MeterWindow(EnergyMeter& meter, OutputTimer& timer, QWidget* parent)
    : QWidget(parent, Qt::Window), meter_(meter), timer_(timer),
      power_(valueLabel("MeterPower", this)), energy_(valueLabel("MeterEnergy", this)),
      charge_(valueLabel("MeterCharge", this)), onTime_(valueLabel("MeterOnTime", this)),
      timerLeft_(valueLabel("MeterTimer", this)) {
    setObjectName(QStringLiteral("MeterWindow"));
    setWindowTitle(tr("能量计"));
    auto* form = new QFormLayout;
    form->addRow(tr("功率"), power_);
    form->addRow(tr("能量"), energy_);
    form->addRow(tr("电荷量"), charge_);
    form->addRow(tr("输出时间"), onTime_);
    form->addRow(tr("输出定时"), timerLeft_);
    auto* reset = new QPushButton(tr("清零"), this);
    reset->setObjectName(QStringLiteral("MeterReset"));
    auto* setTimer = new QPushButton(tr("输出定时…"), this);
    setTimer->setObjectName(QStringLiteral("MeterSetTimer"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(reset);
    buttons->addStretch();
    buttons->addWidget(setTimer);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(reset, &QPushButton::clicked, &meter_, &EnergyMeter::reset);
    connect(setTimer, &QPushButton::clicked, this, &MeterWindow::timerAsked);
    connect(&meter_, &EnergyMeter::updated, this, &MeterWindow::showMeter);
    connect(&timer_, &OutputTimer::stateChanged, this, &MeterWindow::showTimer);
    countdown_.setInterval(1000);
    connect(&countdown_, &QTimer::timeout, this, &MeterWindow::showTimer);
    showMeter();
    showTimer();
}

QString MeterWindow::durationText(std::chrono::seconds duration) {
    const qint64 s = duration.count();
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString MeterWindow::timerText() const {
    switch (timer_.state()) {
    case OutputTimer::State::Idle:
        break;
    case OutputTimer::State::Waiting:
        return tr("%1，等待输出打开").arg(durationText(timer_.remaining()));
    case OutputTimer::State::Counting:
        return tr("剩余 %1").arg(durationText(timer_.remaining()));
    }
    return tr("未设定");
}

void MeterWindow::showMeter() {
    const std::optional<double> watts = meter_.watts();
    power_->setText(watts ? QString::number(*watts, 'f', 3) + QStringLiteral(" W")
                          : QStringLiteral("—"));
    energy_->setText(QString::number(meter_.wattHours(), 'f', 4) + QStringLiteral(" Wh"));
    charge_->setText(QString::number(meter_.ampHours(), 'f', 4) + QStringLiteral(" Ah"));
    onTime_->setText(durationText(std::chrono::seconds(qint64(meter_.outputOnSeconds()))));
}

void MeterWindow::showTimer() {
    timerLeft_->setText(timerText());
    if (timer_.state() == OutputTimer::State::Counting)
        countdown_.start();
    else
        countdown_.stop();
}
