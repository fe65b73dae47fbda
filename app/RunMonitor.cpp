#include "RunMonitor.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QString hms(qint64 msecs) {
    const qint64 s = (msecs + 999) / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

RunMonitor::RunMonitor(ProgramRun& run, QWidget* parent)
    : QWidget(parent), run_(run), repeat_(new QSpinBox(this)),
      endless_(new QCheckBox(tr("无限循环"), this)),
      keepOutput_(new QCheckBox(tr("结束时保持输出状态"), this)),
      start_(new QPushButton(tr("开始"), this)), pause_(new QPushButton(tr("暂停"), this)),
      stop_(new QPushButton(tr("停止"), this)), progress_(new QProgressBar(this)),
      refresh_(new QTimer(this)) {
    repeat_->setObjectName(QStringLiteral("ProgramRepeat"));
    repeat_->setRange(1, ProgramLimits::MaxRepeat);
    endless_->setObjectName(QStringLiteral("ProgramEndless"));
    keepOutput_->setObjectName(QStringLiteral("ProgramKeepOutput"));
    connect(endless_, &QCheckBox::toggled, repeat_, &QSpinBox::setDisabled);
    auto* options = new QHBoxLayout;
    options->addWidget(new QLabel(tr("重复次数"), this));
    options->addWidget(repeat_);
    options->addWidget(endless_);
    options->addStretch();
    options->addWidget(keepOutput_);

    start_->setObjectName(QStringLiteral("ProgramStart"));
    pause_->setObjectName(QStringLiteral("ProgramPause"));
    stop_->setObjectName(QStringLiteral("ProgramStop"));
    connect(start_, &QPushButton::clicked, this, &RunMonitor::startClicked);
    connect(pause_, &QPushButton::clicked, this, [this] { pauseOrResume(); });
    connect(stop_, &QPushButton::clicked, this, [this] { run_.stop(); });
    progress_->setObjectName(QStringLiteral("ProgramProgress"));
    progress_->setRange(0, 1000);
    progress_->setValue(0);
    progress_->setFormat(QString());
    auto* controls = new QHBoxLayout;
    controls->addWidget(start_);
    controls->addWidget(pause_);
    controls->addWidget(stop_);
    controls->addWidget(progress_, 1);

    // Part of the program window's own column: no margins of its own.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(options);
    layout->addLayout(controls);

    refresh_->setInterval(250);
    connect(refresh_, &QTimer::timeout, this, [this] { showProgress(); });
    connect(&run_, &ProgramRun::stateChanged, this, [this](ProgramRun::State s) { showState(s); });
    connect(&run_, &ProgramRun::stepStarted, this, [this] { showProgress(); });
    showState(run_.state());
}

int RunMonitor::repeat() const {
    return endless_->isChecked() ? ProgramRun::Endless : repeat_->value();
}

bool RunMonitor::keepOutputAtEnd() const {
    return keepOutput_->isChecked();
}

void RunMonitor::pauseOrResume() {
    if (run_.state() == ProgramRun::State::Paused)
        run_.resume();
    else
        run_.pause();
}

void RunMonitor::showFinished() {
    progress_->setValue(progress_->maximum());
    progress_->setFormat(tr("完成"));
}

void RunMonitor::showState(ProgramRun::State state) {
    const bool idle = state == ProgramRun::State::Idle;
    repeat_->setEnabled(idle && !endless_->isChecked());
    endless_->setEnabled(idle);
    keepOutput_->setEnabled(idle);
    start_->setEnabled(idle);
    pause_->setEnabled(!idle);
    stop_->setEnabled(!idle);
    pause_->setText(state == ProgramRun::State::Paused ? tr("继续") : tr("暂停"));
    if (idle)
        refresh_->stop();
    else
        refresh_->start();
    showProgress();
}

void RunMonitor::showProgress() {
    if (!run_.isActive())
        return;
    const qint64 total = run_.totalMsecs();
    const qint64 left = run_.remainingMsecs();
    progress_->setValue(total > 0 ? int(1000.0 * double(total - left) / double(total)) : 0);
    const QString pass = run_.program().repeat == ProgramRun::Endless
                             ? tr("第 %1 遍（无限）").arg(run_.pass())
                             : tr("第 %1/%2 遍").arg(run_.pass()).arg(run_.program().repeat);
    progress_->setFormat(tr("第 %1/%2 步 %3 剩余 %4")
                             .arg(run_.stepIndex() + 1)
                             .arg(run_.program().steps.size())
                             .arg(pass, hms(left)));
}
