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
//   bench-latency [--samples N] [--no-yield] [--hide-log] [--log]
//
// --no-yield replaces the panel's yields to the event loop by nothing, and
// --hide-log hides the traffic log, to show what each adds to the latency.
// --log times the traffic log's counter instead of the read-out: how long
// the operator waits to see the wire.
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
#include <QSerialPort>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <vector>

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
        else
            samples = 0;
    }
    if (samples < 1) {
        std::fprintf(stderr,
                     "usage: bench-latency [--samples N] [--no-yield] [--hide-log] [--log]\n");
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
