// Per-tick cost of the samplers: ./corvane_bench
#include "monitors/ProcessMonitor.h"
#include "monitors/SystemMonitor.h"
#include "platform/Clock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace corvane;

static void BM_SystemTick(benchmark::State &state)
{
    SystemMonitor mon(makeLinuxHostStats(), Clock::system(), false);
    for (auto _ : state) {
        auto s = mon.sampler().sample();
        mon.publish(s);
    }
}
BENCHMARK(BM_SystemTick);

static void BM_ProcessTickThisMachine(benchmark::State &state)
{
    ProcessMonitor mon(makeLinuxProcessTable(), Clock::system(), false);
    mon.sampler().sample();
    for (auto _ : state) {
        auto s = mon.sampler().sample();
        mon.publish(s);
    }
    state.counters["processes"] = mon.totalProcesses();
}
BENCHMARK(BM_ProcessTickThisMachine)->Unit(benchmark::kMicrosecond);

// A /proc of 500 processes with realistic stat lines.
static void BM_ProcessTick500(benchmark::State &state)
{
    QTemporaryDir dir;
    for (int pid = 1; pid <= 500; ++pid) {
        QDir(dir.path()).mkpath(QString::number(pid));
        QFile f(dir.path() + '/' + QString::number(pid) + "/stat");
        f.open(QIODevice::WriteOnly);
        f.write(QStringLiteral("%1 (proc-%1) S 1 %1 %1 0 -1 4194560 5000 90000 100 200 %2 %3 300 400 20 0 1 0 "
                               "10 170000000 %4 18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 0 17 3 0 0 0 0 0\n")
                    .arg(pid).arg(pid * 13).arg(pid * 7).arg(pid * 31).toUtf8());
    }
    ProcessMonitor mon(makeLinuxProcessTable(dir.path()), Clock::system(), false);
    mon.sampler().sample();
    for (auto _ : state) {
        auto s = mon.sampler().sample();
        mon.publish(s);
    }
    state.counters["processes"] = mon.totalProcesses();
}
BENCHMARK(BM_ProcessTick500)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
