#include "support/PanelFixture.h"
#include "support/ScriptedSupply.h"

#include <QtTest>

#include <malloc.h>

namespace {

#if defined(__SANITIZE_ADDRESS__)
// The sanitizers' allocator keeps freed memory in quarantine and makes every
// tick many times slower: the run is shorter and memory is not judged.
constexpr int kTicks = 100000;
constexpr bool kJudgeMemory = false;
#else
constexpr int kTicks = 1000000;
constexpr bool kJudgeMemory = true;
#endif

std::size_t heapInUse() {
    return mallinfo2().uordblks;
}

} // namespace

class TestSoak : public QObject {
    Q_OBJECT
private slots:
    void daysOfPolling();
};

void TestSoak::daysOfPolling() {
    PanelFixture panel;
    panel.open();
    // Nothing else runs at the yields: the ticks follow one another directly,
    // without the 500 ms between them.
    panel.window->eventYield().replace([] {});
    const QMap<QByteArray, QByteArray> replies = typicalReplies();
    qint64 received = 0;
    qint64 sent = panel.link.trafficLog().txCount();
    // The reading history grows up to its bound of points per quantity (one
    // reading of each per 18-tick cycle): memory is judged once it is full.
    const int warmUpTicks =
        std::min(kTicks / 10 + 18 * ReadingHistory::liveLimits().maxPoints, kTicks / 2);
    std::size_t heapAfterWarmUp = 0;
    std::size_t heapPeak = 0;
    int longestLog = 0;

    for (int tick = 1; tick <= kTicks; ++tick) {
        panel.comm->writes.clear();
        panel.window->polling().SysTickTimer_Timer();
        for (const QByteArray& query : std::as_const(panel.comm->writes)) {
            sent += query.size();
            const QByteArray reply = replies.value(query);
            received += reply.size();
            panel.comm->receive(reply);
        }
        // Each tick is an event of its own in the running program: what it
        // posted is delivered before the next one.
        QCoreApplication::processEvents();
        longestLog = std::max(longestLog, int(panel.window->trafficLog().text().size()));
        if (tick == warmUpTicks)
            heapAfterWarmUp = heapInUse();
        if (tick > warmUpTicks)
            heapPeak = std::max(heapPeak, heapInUse());
    }

    QCOMPARE(panel.link.trafficLog().rxCount(), received);
    QCOMPARE(panel.link.trafficLog().txCount(), sent);
    QCOMPARE(panel.text("TxtRXCount"), QStringLiteral("RX:") + QString::number(received));
    QCOMPARE(panel.text("TxtTXCount"), QStringLiteral("TX:") + QString::number(sent));
    QVERIFY(received > 65535);
    QVERIFY(longestLog <= TrafficLog::MaxChars);
    // Past 65535 received bytes every number reply empties the log.
    QVERIFY(panel.window->trafficLog().text().size() < 200);
    QCOMPARE(panel.text("ReadVolLab"), QStringLiteral("12"));
    QCOMPARE(panel.text("OCPLab"), QStringLiteral("3.3"));
    if (kJudgeMemory)
        QCOMPARE(int(panel.link.history().points(Quantity::MeasuredVoltage).size()),
                 ReadingHistory::liveLimits().maxPoints);
    qInfo("%d ticks: %lld bytes received, %lld sent; heap after warm-up %zu, peak after %zu",
          kTicks, received, sent, heapAfterWarmUp, heapPeak);
    if (kJudgeMemory)
        QVERIFY2(heapPeak < heapAfterWarmUp + 256 * 1024,
                 qPrintable(QString::number(heapPeak - heapAfterWarmUp)));
}

QTEST_MAIN(TestSoak)
#include "test_soak.moc"
