#include "ProgramRun.h"

#include "record/CsvFormat.h"
#include "supply/PollingCycle.h"
#include "supply/SupplyLink.h"

#include <QDateTime>
#include <QFileInfo>

#include <cmath>

ProgramRun::ProgramRun(SupplyLink& link, QObject* parent) : QObject(parent), link_(link) {
    timer_.setSingleShot(true);
    // A step's commands leave on time, not within the coarse timer's 5 %.
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] { dwellOver(); });
    connect(&link_.model(), &SupplyModel::linkEvent, this,
            [this](LinkEvent event) { linkChanged(event); });
    connect(&link_.polling(), &PollingCycle::ticked, this, [this] {
        if (isActive())
            conditionArmed_ = true;
    });
    connect(&link_.model(), &SupplyModel::changed, this,
            [this](Quantity quantity, const QVariant& value) {
                readingIn(quantity, value.toDouble());
            });
}

ProgramRun::~ProgramRun() {
    stop();
}

QString ProgramRun::startedText(const Program& program) {
    const QString what = program.name.isEmpty()
                             ? QStringLiteral("%1 steps").arg(program.steps.size())
                             : QFileInfo(program.name).fileName();
    return QStringLiteral("run started ") + what;
}

ProgramRun::Start ProgramRun::start(Program program) {
    if (isActive())
        return Start::Busy;
    if (program.steps.empty() || int(program.steps.size()) > ProgramLimits::MaxSteps)
        return Start::NoSteps;
    if (program.repeat < 0 || program.repeat > ProgramLimits::MaxRepeat)
        return Start::BadRepeat;
    for (const ProgramStep& step : program.steps)
        if (!ProgramLimits::dwellAllowed(step.dwellSeconds))
            return Start::BadStep;
    // As the set buttons: the limits first, then the port.
    if (!ProgramLimits::stepsOutsideLimits(link_.rating().limits(), program.steps).empty())
        return Start::OutsideLimits;
    if (!link_.MSComm().PortOpen()) {
        emit link_.notices().message(Notices::PortClosed);
        return Start::PortClosed;
    }
    program_ = std::move(program);
    offsets_.clear();
    passMs_ = 0;
    for (size_t i = 0; i < program_.steps.size(); ++i) {
        offsets_.push_back(passMs_);
        passMs_ += stepMsecs(int(i));
    }
    index_ = 0;
    pass_ = 1;
    note(startedText(program_));
    setState(State::Running);
    clock_.start();
    nextDueMs_ = 0;
    runStep();
    return Start::Started;
}

qint64 ProgramRun::stepMsecs(int index) const {
    return std::llround(program_.steps[size_t(index)].dwellSeconds * 1000.0);
}

QString ProgramRun::stepText() const {
    return QStringLiteral("run step %1/%2").arg(index_ + 1).arg(program_.steps.size());
}

void ProgramRun::runStep() {
    dueMs_ = nextDueMs_;
    conditionArmed_ = false;
    const ProgramStep& step = program_.steps[size_t(index_)];
    note(stepText());
    emit stepStarted(index_, pass_);
    // The output never carries the setpoints of a step it is to be off in:
    // an off step switches off first, an on step switches on last.
    const LineArbiter::RunScope asRun(link_.line());
    SetpointCommands& setpoints = link_.setpoints();
    using S = SetpointCommands::Setpoint;
    using O = SetpointCommands::Outcome;
    bool sent = step.output == OutputState::On || link_.switches().setOutput(OutputState::Off);
    for (auto [setpoint, value] :
         {std::pair{S::Voltage, step.voltage}, std::pair{S::Current, step.current}}) {
        if (!sent)
            break;
        const O outcome = setpoints.sendValue(setpoint, value);
        if (outcome == O::OutOfRange) {
            finish(End::Refused, index_);
            return;
        }
        sent = outcome == O::Sent;
    }
    if (sent && step.output == OutputState::On)
        sent = link_.switches().setOutput(OutputState::On);
    if (!sent) {
        finish(End::PortGone);
        return;
    }
    nextDueMs_ = dueMs_ + stepMsecs(index_);
    timer_.start(int(std::max<qint64>(0, nextDueMs_ - clock_.elapsed())));
}

void ProgramRun::dwellOver() {
    if (state_ != State::Running)
        return;
    // A step that could have ended on its condition says that it did not.
    const ProgramStep& step = program_.steps[size_t(index_)];
    if (step.until)
        note(stepText() + QStringLiteral(" ended dwell ") +
             CsvFormat::numberText(step.dwellSeconds) + QStringLiteral(" s"));
    next();
}

void ProgramRun::readingIn(Quantity quantity, double value) {
    if (state_ != State::Running || !conditionArmed_)
        return;
    const std::optional<StepCondition>& until = program_.steps[size_t(index_)].until;
    if (!until || until->quantity != quantity || !until->metBy(value))
        return;
    timer_.stop();
    note(stepText() + QStringLiteral(" ended ") + until->metText(value));
    // The next step is due now: the time left counts from here.
    nextDueMs_ = clock_.elapsed();
    next();
}

void ProgramRun::next() {
    if (state_ != State::Running)
        return;
    if (++index_ == int(program_.steps.size())) {
        if (program_.repeat != Endless && pass_ == program_.repeat) {
            finish(End::Finished);
            return;
        }
        index_ = 0;
        ++pass_;
    }
    runStep();
}

void ProgramRun::pause() {
    if (state_ != State::Running)
        return;
    timer_.stop();
    pausedAtMs_ = clock_.elapsed();
    note(QStringLiteral("run paused"));
    setState(State::Paused);
}

void ProgramRun::resume() {
    if (state_ != State::Paused)
        return;
    // The step goes on for what was left of its dwell.
    const qint64 paused = clock_.elapsed() - pausedAtMs_;
    dueMs_ += paused;
    nextDueMs_ += paused;
    note(QStringLiteral("run resumed"));
    setState(State::Running);
    timer_.start(int(std::max<qint64>(0, nextDueMs_ - clock_.elapsed())));
}

void ProgramRun::stop() {
    if (isActive())
        finish(End::Stopped);
}

void ProgramRun::finish(End end, int refused) {
    timer_.stop();
    const bool keep = end == End::Finished && program_.keepOutputAtEnd;
    // With the line gone the output-off is owed, and goes out as soon as the
    // line is open again.
    if (!keep)
        (void)link_.switches().switchOffNow();
    note(end == End::Finished ? QStringLiteral("run finished") : QStringLiteral("run stopped"));
    setState(State::Idle);
    emit ended(end, refused);
}

void ProgramRun::linkChanged(LinkEvent event) {
    switch (event) {
    case LinkEvent::PortClosed:
    case LinkEvent::PortLost:
        if (isActive())
            finish(End::PortGone);
        break;
    default:
        break;
    }
}

void ProgramRun::setState(State state) {
    state_ = state;
    emit stateChanged(state);
}

void ProgramRun::note(const QString& text) {
    link_.model().reportNote(text, QDateTime::currentDateTime());
}

qint64 ProgramRun::clockMsecs() const {
    if (!isActive())
        return 0;
    return state_ == State::Paused ? pausedAtMs_ : clock_.elapsed();
}

qint64 ProgramRun::totalMsecs() const {
    return program_.repeat == Endless ? passMs_ : passMs_ * program_.repeat;
}

qint64 ProgramRun::remainingMsecs() const {
    if (!isActive())
        return 0;
    const qint64 leftInStep = std::max<qint64>(0, nextDueMs_ - clockMsecs());
    const size_t after = size_t(index_) + 1;
    const qint64 leftInPass =
        leftInStep + (after < offsets_.size() ? passMs_ - offsets_[after] : 0);
    const int passesAfter = program_.repeat == Endless ? 0 : program_.repeat - pass_;
    return leftInPass + qint64(passesAfter) * passMs_;
}
