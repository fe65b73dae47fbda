#include "ProgramWindow.h"

#include "RunMonitor.h"
#include "supply/RatingLimits.h"

#include <QCloseEvent>
#include <QLabel>
#include <QVBoxLayout>

ProgramWindow::ProgramWindow(ProgramRun& run, const RatingLimits& rating, QWidget* owner)
    : QWidget(owner, Qt::Window), run_(run), rating_(rating), editor_(new StepEditor(this)),
      monitor_(new RunMonitor(run, this)), status_(new QLabel(this)) {
    setObjectName(QStringLiteral("ProgramWindow"));
    setWindowTitle(tr("程序运行"));
    status_->setObjectName(QStringLiteral("ProgramStatus"));
    status_->setWordWrap(true);
    status_->setStyleSheet(QStringLiteral("color: #c00000"));
    status_->setTextFormat(Qt::PlainText);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(editor_, 1);
    layout->addWidget(monitor_);
    layout->addWidget(status_);
    resize(560, 420);

    connect(editor_, &StepEditor::problem, this, [this](const QString& text) { showStatus(text); });
    connect(monitor_, &RunMonitor::startClicked, this, [this] { startRun(); });
    connect(&run_, &ProgramRun::stateChanged, this, [this](ProgramRun::State state) {
        editor_->setEditable(state == ProgramRun::State::Idle);
    });
    connect(&run_, &ProgramRun::stepStarted, this, [this](int index) { editor_->showStep(index); });
    connect(&run_, &ProgramRun::ended, this,
            [this](ProgramRun::End end, int index) { showEnd(end, index); });
    editor_->setEditable(!run_.isActive());
}

void ProgramWindow::startRun() {
    std::optional<ProgramSteps> now = steps();
    if (!now)
        return;
    editor_->markRows({});
    ProgramRun::Program program;
    program.steps = std::move(*now);
    program.repeat = monitor_->repeat();
    program.name = editor_->fileName();
    program.keepOutputAtEnd = monitor_->keepOutputAtEnd();
    switch (run_.start(program)) {
    case ProgramRun::Start::Started:
        showStatus(QString());
        break;
    case ProgramRun::Start::OutsideLimits:
        editor_->markRows(ProgramLimits::stepsOutsideLimits(rating_.limits(), program.steps));
        showStatus(tr("标记的步骤超出设定范围（电源型号决定的范围），程序没有开始"));
        break;
    case ProgramRun::Start::NoSteps:
        showStatus(tr("没有步骤，程序没有开始"));
        break;
    case ProgramRun::Start::PortClosed:
        showStatus(tr("串口没有打开，程序没有开始"));
        break;
    case ProgramRun::Start::BadRepeat:
    case ProgramRun::Start::BadStep:
    case ProgramRun::Start::Busy:
        break;
    }
}

void ProgramWindow::pauseOrResume() {
    monitor_->pauseOrResume();
}

void ProgramWindow::stopRun() {
    run_.stop();
}

void ProgramWindow::showEnd(ProgramRun::End end, int index) {
    switch (end) {
    case ProgramRun::End::Finished:
        monitor_->showFinished();
        return;
    case ProgramRun::End::Stopped:
        showStatus(tr("程序已停止，输出已关闭"));
        break;
    case ProgramRun::End::PortGone:
        showStatus(tr("串口断开，程序已停止；串口再次打开时关闭输出"));
        break;
    case ProgramRun::End::Refused:
        editor_->markRows({index});
        showStatus(tr("第 %1 步超出设定范围，程序已停止").arg(index + 1));
        break;
    }
}

void ProgramWindow::showStatus(const QString& text) {
    status_->setText(text);
}

QString ProgramWindow::statusText() const {
    return status_->text();
}

void ProgramWindow::closeEvent(QCloseEvent* event) {
    // Out of sight, a run would go on with nobody watching it.
    run_.stop();
    QWidget::closeEvent(event);
}
