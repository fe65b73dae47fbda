// Reply latency: from the moment the last byte of a number reply is written
// to the line until the read-out shows the new value (or, with --log, until
// the receive counter beside the traffic log shows that byte counted).
//
// The harness plays the supply itself on a pseudo-terminal, so that it knows
// exactly when that byte went out. The panel is the program's own window on
// the real serial control, shown, at the measured-voltage step. Each sample
// writes a reply but its line feed, lets the panel take those bytes, then
// writes the line feed and runs the event loop until ReadVolLab changes.
//
//   bench-latency [--samples N] [--no-yield] [--hide-log] [--log | --scenario]
//
// --no-yield replaces the panel's yields to the event loop by nothing, and
// --hide-log hides the traffic log, to show what each adds to the latency.
// --log times the traffic log's counter instead of the read-out: how long
// the operator waits to see the wire. --scenario plays a fixed operator
// session instead (channel, mode and output buttons, replies, the counters'
// reset) and reads the log and both counters 100 ms after each step against
// the bytes that crossed the line: prints scenario_steps and
// scenario_mismatches, and each mismatch on standard error.
//
// Prints latency_median_ms, latency_p99_ms, latency_max_ms and samples, and
// the part of it before the event loop dispatched the port's read notice:
// wakeup_median_ms and wakeup_p99_ms.
#include "Measure.h"
#include "app/VelmorMain.h"
#include "serial/QtSerialControl.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSerialPort>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

namespace {

constexpr double TimeoutMs = 5000.0;

// The supply's end of a pseudo-terminal, published as COM200.
class SupplyEnd {
public:
    explicit SupplyEnd(const QString& folder) {
        char name[256] = {};
        if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
            master_ = slave_ = -1;
            return;
        }
        linked_ = QFile::link(QString::fromLocal8Bit(name), folder + QStringLiteral("/com200"));
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    }
    ~SupplyEnd() {
        if (master_ >= 0)
            ::close(master_);
        if (slave_ >= 0)
            ::close(slave_);
    }
    SupplyEnd(const SupplyEnd&) = delete;
    SupplyEnd& operator=(const SupplyEnd&) = delete;

    bool isValid() const { return master_ >= 0 && linked_; }
    // What the panel wrote so far.
    QByteArray readAll() const {
        QByteArray all;
        char buffer[4096];
        for (;;) {
            const ssize_t got = ::read(master_, buffer, sizeof buffer);
            if (got <= 0)
                return all;
            all.append(buffer, got);
        }
    }
    bool write(const QByteArray& bytes) const {
        return ::write(master_, bytes.constData(), static_cast<size_t>(bytes.size())) ==
               bytes.size();
    }

private:
    int master_ = -1;
    // Held open so that the terminal stays while the panel reopens it.
    int slave_ = -1;
    bool linked_ = false;
};

// Runs the event loop until the condition holds; false on timeout. The loop
// sleeps until an event comes, as the program's own loop does; the window's
// 2 s message timer bounds each sleep.
template <typename Condition> bool runUntil(Condition done) {
    const double t0 = Measure::nowMs();
    while (!done()) {
        if (Measure::nowMs() - t0 > TimeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Notes when the event loop first hands a serial port's read notice on,
// before the port or the panel have seen it.
class WakeupWatch : public QObject {
public:
    void arm() { at_ = -1.0; }
    double at() const { return at_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (at_ < 0 && event->type() == QEvent::SockAct &&
            qobject_cast<QSerialPort*>(watched->parent()))
            at_ = Measure::nowMs();
        return false;
    }

private:
    double at_ = -1.0;
};

// Runs the event loop for a while, as the operator's eye waits.
void settle(int ms) {
    const double t0 = Measure::nowMs();
    while (Measure::nowMs() - t0 < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
}

// The operator's session: each step's action, then what the log's last line
// must read once the step's bytes crossed the line.
int playScenario(VelmorMain& window, const SupplyEnd& supply) {
    struct Step {
        const char* button; // pressed, or null when the supply answers
        QByteArray reply;
        QString lastLine;
    };
    const Step steps[] = {
        {"Op2", {}, QStringLiteral("TX>>:APPL 2CR")},
        {"SERcmd", {}, QStringLiteral("TX>>:SOUR:MODE 2CR")},
        {nullptr, "+1.20000E+01\r\n", QStringLiteral("RX<<:+1.20000E+01")},
        // The output command is counted but not echoed.
        {"OutPutButton", {}, QStringLiteral("RX<<:+1.20000E+01")},
        {nullptr, "+1.21000E+01\r\n", QStringLiteral("RX<<:+1.21000E+01")},
        {"INDcmd", {}, QStringLiteral("TX>>:SOUR:MODE 0CR")},
        {"CmdClearCounter", {}, QStringLiteral("TX>>:SOUR:MODE 0CR")},
        {"OP1", {}, QStringLiteral("TX>>:APPL 1CR")},
        {nullptr, "+1.22000E+01\r\n", QStringLiteral("RX<<:+1.22000E+01")},
    };
    const auto* log = window.findChild<QPlainTextEdit*>("TxtReceive");
    const auto* rx = window.findChild<QLineEdit*>("TxtRXCount");
    const auto* tx = window.findChild<QLineEdit*>("TxtTXCount");
    settle(100);
    (void)supply.readAll();
    qint64 sent = window.link().trafficLog().txCount();
    qint64 received = window.link().trafficLog().rxCount();
    int mismatches = 0;
    const auto expect = [&mismatches](int step, const char* what, const QString& shown,
                                      const QString& wanted) {
        if (shown == wanted)
            return;
        ++mismatches;
        std::fprintf(stderr, "step %d: %s shows \"%s\", the wire makes \"%s\"\n", step, what,
                     qPrintable(shown), qPrintable(wanted));
    };
    for (int i = 0; i < int(std::size(steps)); ++i) {
        const Step& step = steps[i];
        if (step.button) {
            window.findChild<QAbstractButton*>(step.button)->click();
        } else {
            window.link().state().step = PollingStep::MeasuredVoltage;
            supply.write(step.reply);
            received += step.reply.size();
        }
        settle(100);
        sent += supply.readAll().size();
        if (step.button == QLatin1String("CmdClearCounter"))
            sent = received = 0;
        const QStringList lines = log->toPlainText().split(u'\n', Qt::SkipEmptyParts);
        expect(i + 1, "the log's last line", lines.isEmpty() ? QString() : lines.last(),
               step.lastLine);
        expect(i + 1, "TxtRXCount", rx->text(), QStringLiteral("RX:%1").arg(received));
        expect(i + 1, "TxtTXCount", tx->text(), QStringLiteral("TX:%1").arg(sent));
    }
    std::printf("scenario_steps %zu\n", std::size(steps));
    std::printf("scenario_mismatches %d\n", mismatches);
    return mismatches == 0 ? 0 : 1;
}

// A measured-voltage reply whose value differs from the previous sample's.
QByteArray reply(int sample) {
    return QStringLiteral("+1.%1E+01\r\n").arg(sample % 100000, 5, 10, QLatin1Char('0')).toLatin1();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int samples = 2000;
    bool yields = true;
    bool showLog = true;
    bool timeLog = false;
    bool scenario = false;
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--samples") && i + 1 < args.size())
            samples = args[++i].toInt();
        else if (args[i] == QLatin1String("--no-yield"))
            yields = false;
        else if (args[i] == QLatin1String("--hide-log"))
            showLog = false;
        else if (args[i] == QLatin1String("--log"))
            timeLog = true;
        else if (args[i] == QLatin1String("--scenario"))
            scenario = true;
        else
            samples = 0;
    }
    if (samples < 1) {
        std::fprintf(
            stderr,
            "usage: bench-latency [--samples N] [--no-yield] [--hide-log] [--log | --scenario]\n");
        return 2;
    }

    QTemporaryDir links;
    SupplyEnd supply(links.path());
    if (!supply.isValid()) {
        std::fprintf(stderr, "bench-latency: no pseudo-terminal\n");
        return 1;
    }
    VelmorMain window(std::make_unique<QtSerialControl>(PortDirectory(links.path())),
                      PortDirectory(links.path()));
    window.messageBoxes().replaceShower([](const MessageBoxes::Box&) {});
    if (!yields)
        window.eventYield().replace([] {});
    window.show();
    window.findChild<QWidget*>("TxtReceive")->setVisible(showLog);
    window.findChild<QComboBox*>("CboCom")->setEditText(QStringLiteral("COM200"));
    window.findChild<QAbstractButton*>("CmdSwitch")->click();
    if (!window.MSComm().PortOpen()) {
        std::fprintf(stderr, "bench-latency: COM200 did not open\n");
        return 1;
    }
    // One tick by hand brings the cycle to the measured-voltage step; no
    // further tick moves it, so every reply lands in ReadVolLab.
    window.polling().SysTickTimer_Timer();
    SupplyLink& link = window.link();
    if (scenario)
        return playScenario(window, supply);
    const QLabel* readOut = window.findChild<QLabel*>("ReadVolLab");
    const QLineEdit* rxCount = window.findChild<QLineEdit*>("TxtRXCount");

    WakeupWatch wakeup;
    app.installEventFilter(&wakeup);
    std::vector<double> latencies;
    std::vector<double> wakeups;
    for (int sample = 0; sample < samples; ++sample) {
        const QByteArray text = reply(sample);
        const QByteArray head = text.left(text.size() - 1);
        const QString before = readOut->text();
        const QString counted =
            QStringLiteral("RX:%1").arg(link.trafficLog().rxCount() + text.size());
        if (!supply.write(head) ||
            !runUntil([&] { return link.decoder().pending().size() == head.size(); })) {
            std::fprintf(stderr, "bench-latency: the reply's head was not taken\n");
            return 1;
        }
        // The head's count is on screen first, so that the line feed starts
        // the log view's wait afresh.
        const QString headCounted = QStringLiteral("RX:%1").arg(link.trafficLog().rxCount());
        if (timeLog && !runUntil([&] { return rxCount->text() == headCounted; })) {
            std::fprintf(stderr, "bench-latency: the counter did not show the head\n");
            return 1;
        }
        wakeup.arm();
        const double t0 = Measure::nowMs();
        supply.write(text.right(1));
        if (!runUntil(
                [&] { return timeLog ? rxCount->text() == counted : readOut->text() != before; })) {
            std::fprintf(stderr, "bench-latency: the read-out did not change\n");
            return 1;
        }
        latencies.push_back(Measure::nowMs() - t0);
        wakeups.push_back(wakeup.at() - t0);
    }
    std::printf("latency_median_ms %.3f\n", Measure::percentile(latencies, 0.5));
    std::printf("latency_p99_ms %.3f\n", Measure::percentile(latencies, 0.99));
    std::printf("latency_max_ms %.3f\n", latencies.back());
    std::printf("samples %zu\n", latencies.size());
    std::printf("wakeup_median_ms %.3f\n", Measure::percentile(wakeups, 0.5));
    std::printf("wakeup_p99_ms %.3f\n", Measure::percentile(wakeups, 0.99));
    return 0;
}
