#pragma once
// Waiting out what must not happen, counted in events rather than milliseconds.
#include "monitors/SamplerScheduler.h"

#include <QCoreApplication>
#include <QTest>
#include <QTimer>

namespace corvane::test {

// Returns once a precise timer of `ms` started now has fired: by then every timer of this
// thread that was due sooner has fired too (or was stopped), and what it posted is delivered.
[[nodiscard]] inline bool passTimersDueWithin(int ms)
{
    bool fired = false;
    QTimer::singleShot(ms, Qt::PreciseTimer, [&fired] { fired = true; });
    const bool ok = QTest::qWaitFor([&fired] { return fired; }, 120000);
    QCoreApplication::processEvents();
    return ok;
}

// A witness scheduler on `cadence` ticks `ticks` times here: a sampler on that cadence still
// running would have ticked by then, and what it handed over has been delivered.

[[nodiscard]] inline bool passTicks(const Cadence &cadence, int ticks = 1, const Clock &clock = Clock::system())
{
    int seen = 0;
    SamplerScheduler witness(QStringLiteral("corvane.test-witness"), cadence, [&seen] { ++seen; },
                             SamplerScheduler::Placement::CallerThread, clock);
    witness.start();
    const bool ticked = QTest::qWaitFor([&seen, ticks] { return seen >= ticks; }, 120000);
    QCoreApplication::processEvents();
    return ticked;
}

} // namespace corvane::test
