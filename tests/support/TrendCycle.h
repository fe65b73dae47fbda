#pragma once

#include "supply/ReadingHistory.h"
#include "support/SupplyCycle.h"

#include <QList>
#include <QPointF>

// What the trend tests play and compare: a cycle whose measured values
// wander, whose voltage setpoint steps at the tenth cycle and current
// setpoint at the twentieth, and whose output is read off in cycles 4 to 6;
// and a history's readings as points.
namespace TrendCycle {

inline QDateTime start() {
    return QDateTime::fromString(QStringLiteral("2026-12-07T08:00:00.000+01:00"),
                                 Qt::ISODateWithMs);
}

inline SupplyCycle::Values values(int n) {
    SupplyCycle::Values v;
    v.measuredVoltage = 12.0 + 0.125 * (n % 5);
    v.measuredCurrent = 0.5 + 0.0625 * (n % 3);
    v.setVoltage = n < 10 ? 12.0 : 12.5;
    v.setCurrent = n < 20 ? 1.0 : 0.75;
    v.output = n >= 4 && n < 7 ? OutputState::Off : OutputState::On;
    return v;
}

inline QList<QPointF> readings(const ReadingHistory& history, Quantity quantity) {
    QList<QPointF> points;
    for (const auto& p : history.points(quantity))
        points << QPointF(double(p.msecs), p.value);
    return points;
}

// Three runs of readings, of 3, 2 and 1 cycles: polling stopped for ten
// minutes after the first, the port lost for a minute after the second.
// played counts the cycles across calls.
inline void playThreeRuns(SupplyCycle& cycle, int& played) {
    const auto play = [&](int cycles) {
        for (int k = 0; k < cycles; ++k)
            cycle.play(values(played++));
    };
    play(3);
    cycle.event(LinkEvent::PollingStopped);
    cycle.skip(10 * 60 * 1000);
    cycle.event(LinkEvent::PollingStarted);
    play(2);
    cycle.event(LinkEvent::PortLost);
    cycle.skip(60 * 1000);
    cycle.event(LinkEvent::PortOpened);
    play(1);
}

} // namespace TrendCycle
