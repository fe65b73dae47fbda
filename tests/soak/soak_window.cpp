// The window's side of scripts/soak --window: the panel itself (offscreen),
// launched from the window's own command line, runs a list as an operator
// would start it, with a watch limit set, while a random operator presses
// its buttons. It writes the
// same event lines as velmor-headless on standard error, one more for every
// button pressed and every message box shown, and ends as velmor-headless
// does: when the list ends or is stopped, or on SIGTERM, through the
// controller's one way out (status 3 when the output-off could not be
// written).
//
//   soak-window --list FILE --repeat N --seed S [the window's options]
#include "EventLines.h"
#include "SignalPipe.h"
#include "app/Translations.h"
#include "app/VelmorMain.h"
#include "control/CommandLine.h"
#include "program/ProgramFile.h"
#include "program/WatchLimits.h"
#include "serial/QtSerialControl.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTimer>
#include <QToolButton>

#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr int OutputLeftOn = 3;
constexpr int Refused = 1;
// The operator presses a button every this many ms, at random in between.
constexpr int PressMinMs = 300;
constexpr int PressMaxMs = 1500;
// A port closed or polling stopped by the operator is back after at most this.
constexpr int BackMaxMs = 3000;

struct DriverOptions {
    QString list;
    int repeat = 1;
    quint32 seed = 1;
    QStringList windowArguments;
};

bool takeDriverOptions(const QStringList& arguments, DriverOptions& o) {
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& name = arguments[i];
        const bool own = name == QLatin1String("--list") || name == QLatin1String("--repeat") ||
                         name == QLatin1String("--seed");
        if (!own) {
            o.windowArguments.append(name);
            continue;
        }
        if (++i == arguments.size())
            return false;
        bool ok = true;
        if (name == QLatin1String("--list"))
            o.list = arguments[i];
        else if (name == QLatin1String("--repeat"))
            o.repeat = arguments[i].toInt(&ok);
        else
            o.seed = arguments[i].toUInt(&ok);
        if (!ok)
            return false;
    }
    return !o.list.isEmpty() && o.repeat > 0;
}

// A random operator: one of the panel's buttons at a time, the port and
// polling switched back on soon after it switched them off. The rating
// lists, 退出 and series mode (which doubles the measured voltage) are left
// alone; the version frames do nothing on the line.
class RandomOperator : public QObject {
public:
    RandomOperator(VelmorMain& window, EventLines& lines, quint32 seed)
        : lines_(lines), random_(seed) {
        const Controls& ui = window.controls();
        // Set values that keep the soak's quantities apart: the list's own
        // voltages and currents, and the protection levels the simulated
        // supply starts with. The voltages stay below what the second
        // channel's 1 A gives into the 10-ohm load, so that it never limits
        // the current.
        presses_ = {
            {"VOLSetCmd",
             [this, &ui] {
                 enter(ui.CVSetText, {QStringLiteral("5.5"), QStringLiteral("7.5")}, ui.VOLSetCmd);
             }},
            {"CURSetCmd",
             [this, &ui] {
                 enter(ui.CCSetText,
                       {QStringLiteral("1.61"), QStringLiteral("1.83"), QStringLiteral("1.97")},
                       ui.CURSetCmd);
             }},
            {"OVPSetCmd",
             [this, &ui] { enter(ui.OVPSetText, {QStringLiteral("33")}, ui.OVPSetCmd); }},
            {"OCPSetCmd",
             [this, &ui] { enter(ui.OCPSetText, {QStringLiteral("3.3")}, ui.OCPSetCmd); }},
            {"OutPutButton", [&ui] { ui.OutPutButton->click(); }},
            {"INDcmd", [&ui] { ui.INDcmd->click(); }},
            {"PARcmd", [&ui] { ui.PARcmd->click(); }},
            {"OP1", [&ui] { ui.OP1->click(); }},
            {"Op2", [&ui] { ui.Op2->click(); }},
            {"ClrAlarmAmd", [&ui] { ui.ClrAlarmAmd->click(); }},
            {"Command1", [&ui] { ui.Command1->click(); }},
            {"CmdClearCounter", [&ui] { ui.CmdClearCounter->click(); }},
            {"SeekCmd", [this, &ui] { switchOffAndBack(ui.SeekCmd); }},
            {"CmdSwitch", [this, &ui] { switchOffAndBack(ui.CmdSwitch); }},
        };
        timer_.setSingleShot(true);
        connect(&timer_, &QTimer::timeout, this, [this] { pressOne(); });
    }

    void start() { schedule(); }

private:
    struct Press {
        const char* name;
        std::function<void()> run;
    };

    void schedule() { timer_.start(int(random_.bounded(PressMinMs, PressMaxMs + 1))); }

    void pressOne() {
        const Press& press = presses_[random_.bounded(int(presses_.size()))];
        lines_.say(QStringLiteral("operator ") + QLatin1String(press.name));
        press.run();
        schedule();
    }

    void enter(QLineEdit* field, const QStringList& values, QAbstractButton* button) {
        field->setText(values[random_.bounded(int(values.size()))]);
        button->click();
    }

    // The port switch and the polling button toggle: pressed again a moment
    // later, as an operator who closed the port to look at something does.
    void switchOffAndBack(QAbstractButton* button) {
        button->click();
        QTimer::singleShot(int(random_.bounded(BackMaxMs)) + 1, this, [this, button] {
            lines_.say(QStringLiteral("operator ") + button->objectName() +
                       QStringLiteral(" again"));
            button->click();
        });
    }

    EventLines& lines_;
    QRandomGenerator random_;
    std::vector<Press> presses_;
    QTimer timer_;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    DriverOptions driver;
    if (!takeDriverOptions(QCoreApplication::arguments(), driver)) {
        std::fprintf(stderr, "usage: soak-window --list FILE --repeat N --seed S [options]\n");
        return CommandLine::BadUsage;
    }
    const CommandLine line = CommandLine::parse(driver.windowArguments, Program::window());
    if (line.outcome != CommandLine::Outcome::Run)
        return line.finish();
    const ProgramFile::Result file = ProgramFile::read(driver.list);
    if (file.problem) {
        std::fprintf(stderr, "soak-window: %s\n", qPrintable(ProgramFile::describe(*file.problem)));
        return CommandLine::BadUsage;
    }
    const Translations translations(
        chooseLanguage(line.options.language, QProcessEnvironment::systemEnvironment()));

    SignalPipe stopSignals;
    PortDirectory ports(PortDirectory::defaultLinkFolder());
    VelmorMain window(std::make_unique<QtSerialControl>(ports), ports);
    RunController& controller = window.controller();
    EventLines lines(controller, stderr);
    window.messageBoxes().replaceShower(
        [&lines](const MessageBoxes::Box& box) { lines.say(QStringLiteral("box ") + box.text); });
    window.show();

    const Controls& ui = window.controls();
    ui.PowerTypeCombVol->setCurrentText(QStringLiteral("30  V"));
    window.PowerTypeCombVol_Click();
    ui.PowerTypeCombCur->setCurrentText(QStringLiteral("3   A"));
    window.PowerTypeCombCur_Click();
    window.launch(line.options);
    // A watch limit as an operator sets one beside a run: the list's last
    // step (12.5 V) switches the output off whenever polling reads it, and
    // its current (1.25 A) is noted.
    WatchLimits::Settings watch;
    watch.voltage.upper = WatchLimits::Bound{10.0, WatchLimits::Action::SwitchOff};
    watch.current.upper = WatchLimits::Bound{1.2, WatchLimits::Action::Note};
    if (!controller.automation().watch().setSettings(watch))
        return Refused;

    const auto finish = [&](int status) {
        if (controller.finish())
            return status;
        lines.say(
            QStringLiteral("the output-off could not be written: the output may still be on"));
        return OutputLeftOn;
    };
    const ProgramRun::Program program{file.steps, driver.repeat, QFileInfo(driver.list).fileName(),
                                      false};
    ProgramRun& run = controller.automation().run();
    bool runStarted = false;
    const auto startRun = [&] {
        if (runStarted)
            return;
        runStarted = true;
        if (run.start(program) != ProgramRun::Start::Started) {
            lines.say(QStringLiteral("the list did not start"));
            QCoreApplication::exit(finish(Refused));
        }
    };
    // A run the operator stopped (by switching the output off, say) ends the
    // pass as well as one that finished; one cut short by a lost line waits
    // for the line, so that its output-off goes out when it returns.
    QObject::connect(&run, &ProgramRun::ended, &app, [&](ProgramRun::End end) {
        if (end != ProgramRun::End::PortGone)
            QCoreApplication::exit(finish(end == ProgramRun::End::Refused ? Refused : 0));
    });
    QObject::connect(&controller, &RunController::reopened, &app, startRun);
    if (window.MSComm().PortOpen())
        QTimer::singleShot(0, &app, startRun);
    QObject::connect(&stopSignals, &SignalPipe::received, &app, [&](int number) {
        lines.say(QStringLiteral("stopping on signal ") + QString::number(number));
        QCoreApplication::exit(finish(0));
    });

    RandomOperator randomOperator(window, lines, driver.seed);
    randomOperator.start();
    return QApplication::exec();
}
