// Decode cost: replies delivered through the program's window on a scripted
// serial control, and the number-text helpers on their own.
//
// The window is not shown, so that no painting is counted here; the yields
// to the event loop that the decoder makes are, as the program makes them.
// The NoYield variant replaces them by nothing, to tell the decoder's own
// cost from the event loop's.
#include "app/VelmorMain.h"
#include "protocol/NumberText.h"
#include "support/ScriptedSerialControl.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

namespace {

constexpr qint16 VoltageStep = 1;
constexpr qint16 ModeStep = 8;
constexpr qint16 IdentityStep = 18;
constexpr int BurstLength = 150;

// The window on a scripted serial control, with COM3 open.
struct Panel {
    Panel() {
        auto control = std::make_unique<ScriptedSerialControl>();
        comm = control.get();
        window = std::make_unique<VelmorMain>(std::move(control), PortDirectory(links.path()));
        window->messageBoxes().replaceShower([](const MessageBoxes::Box&) {});
        window->findChild<QComboBox*>("CboCom")->setEditText(QStringLiteral("COM3"));
        window->findChild<QAbstractButton*>("CmdSwitch")->click();
        // Start-up leaves events posted (polishing every control); they are
        // handled here rather than by the first reply's yield.
        QCoreApplication::processEvents();
    }

    QTemporaryDir links;
    ScriptedSerialControl* comm = nullptr;
    std::unique_ptr<VelmorMain> window;
};

// Delivers the replies in turn, each in one piece, under the given step.
void deliver(benchmark::State& state, Panel& panel, qint16 step,
             const std::vector<QByteArray>& replies) {
    if (!panel.comm->PortOpen()) {
        state.SkipWithError("COM3 did not open");
        return;
    }
    SupplyLink& link = panel.window->link();
    TrafficLog& log = panel.window->trafficLog();
    link.state().step = PollingStep(step);
    std::size_t next = 0;
    for (auto _ : state) {
        // From 65535 bytes received on, every number reply empties the log;
        // staying below that keeps the log growing, the costlier case.
        if (log.rxCount() > 60000) {
            state.PauseTiming();
            log.resetCounters();
            state.ResumeTiming();
        }
        panel.comm->receive(replies[next]);
        next = (next + 1) % replies.size();
        // While polling, the number replies keep the log this short; other
        // replies alone would let it grow to the widget's bound.
        if (log.text().size() > TrafficLog::EmptyAboveChars) {
            state.PauseTiming();
            panel.window->Command1_Click();
            state.ResumeTiming();
        }
    }
}

// Two values in turn, so that the read-out's text changes with every reply.
const std::vector<QByteArray> kNumberReplies{"+1.23456E+01\r\n", "+1.23457E+01\r\n"};

void BM_NumberReply(benchmark::State& state) {
    Panel panel;
    deliver(state, panel, VoltageStep, kNumberReplies);
}
BENCHMARK(BM_NumberReply);

void BM_NumberReplyNoYield(benchmark::State& state) {
    Panel panel;
    panel.window->eventYield().replace([] {});
    deliver(state, panel, VoltageStep, kNumberReplies);
}
BENCHMARK(BM_NumberReplyNoYield);

void BM_ModeReply(benchmark::State& state) {
    Panel panel;
    deliver(state, panel, ModeStep, {"0\r\n"});
}
BENCHMARK(BM_ModeReply);

void BM_IdentityReply(benchmark::State& state) {
    Panel panel;
    deliver(state, panel, IdentityStep, {"Velmor,VPS-3005D,00012345,V1.06\r\n"});
}
BENCHMARK(BM_IdentityReply);

// Random bytes of every value, line ends included, as a noisy line brings.
void BM_GarbageBurst(benchmark::State& state) {
    std::mt19937 random(6);
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<QByteArray> bursts(8);
    for (QByteArray& burst : bursts)
        for (int i = 0; i < BurstLength; ++i)
            burst.append(static_cast<char>(byte(random)));
    Panel panel;
    deliver(state, panel, VoltageStep, bursts);
}
BENCHMARK(BM_GarbageBurst);

// One pass of the event loop with nothing to do: what each of the decoder's
// yields costs at the least.
void BM_EventLoopPass(benchmark::State& state) {
    Panel panel;
    for (auto _ : state)
        QCoreApplication::processEvents();
}
BENCHMARK(BM_EventLoopPass);

void BM_LeadingNumber(benchmark::State& state) {
    const QString text = QStringLiteral("+1.23456E+01");
    for (auto _ : state)
        benchmark::DoNotOptimize(NumberText::leadingNumber(text));
}
BENCHMARK(BM_LeadingNumber);

void BM_PlainDecimal(benchmark::State& state) {
    double value = 12.3456;
    for (auto _ : state) {
        benchmark::DoNotOptimize(value);
        benchmark::DoNotOptimize(NumberText::plainDecimal(value));
    }
}
BENCHMARK(BM_PlainDecimal);

void BM_BlankPrefixed(benchmark::State& state) {
    double value = 0.5;
    for (auto _ : state) {
        benchmark::DoNotOptimize(value);
        benchmark::DoNotOptimize(NumberText::blankPrefixed(value));
    }
}
BENCHMARK(BM_BlankPrefixed);

} // namespace

int main(int argc, char** argv) {
    // The window is never shown: no display is needed.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    QApplication app(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
