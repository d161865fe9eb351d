// The real samplers on this machine, read against the kernel at the same moments.
#include "monitors/NetworkMonitor.h"
#include "monitors/ProcessMonitor.h"
#include "monitors/StorageMonitor.h"
#include "monitors/SystemMonitor.h"
#include "platform/linux/SysFile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

#include <QHash>
#include <set>
#include <sstream>

using namespace corvane;

static std::pair<double, double> procStatBusyTotal()
{
    const auto s = sysfile::read("/proc/stat");
    std::istringstream in(s.value_or(""));
    std::string cpu;
    double f[8] = {};
    in >> cpu;
    for (double &v : f)
        in >> v;
    const double busy = f[0] + f[1] + f[2] + f[5] + f[6] + f[7];
    return {busy, busy + f[3] + f[4]};
}

TEST(LiveFigures, CpuAndMemoryAgreeWithProcStat)
{
    SystemMonitor mon;
    QList<std::pair<double, double>> kernel;
    QObject::connect(&mon, &SystemMonitor::updated, [&] { kernel << procStatBusyTotal(); });
    // Three ticks: our figure for the last second beside the kernel's.
    QTRY_VERIFY(kernel.size() >= 3 && mon.cpuHistory()->samples().size() >= 2);
    const QList<double> ours = mon.cpuHistory()->samples(); // one per tick after the first
    const auto &a = kernel[kernel.size() - 2];
    const auto &b = kernel.back();
    const double ref = (b.first - a.first) / std::max(1.0, b.second - a.second);
    EXPECT_NEAR(ours.back(), ref, 0.05);
    EXPECT_GT(mon.ramTotalBytes(), 0u);
    EXPECT_GT(mon.ramPressure(), 0.0);
    EXPECT_LT(mon.ramPressure(), 1.0);
}

static QHash<int, std::pair<double, QString>> psByPid()
{
    QProcess ps;
    ps.start(QStringLiteral("ps"), {QStringLiteral("-eo"), QStringLiteral("pid=,rss=,comm=")});
    ps.waitForFinished(5000);
    QHash<int, std::pair<double, QString>> byPid;
    for (const QString &line : QString::fromUtf8(ps.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)) {
        const QStringList f = line.simplified().split(' ');
        if (f.size() >= 3)
            byPid.insert(f[0].toInt(), {f[1].toDouble() * 1024, f.mid(2).join(' ')});
    }
    return byPid;
}

TEST(LiveFigures, TopProcessesAgreeWithPs)
{
    ProcessMonitor mon(makeLinuxProcessTable(), Clock::system(), false);
    // Our pass sits between two ps readings, so each size must lie between them (processes
    // started beside this test grow quickly).
    const auto before = psByPid();
    const auto snap = mon.sampler().sample();
    const auto after = psByPid();
    ASSERT_GT(snap.count, 0);
    int compared = 0, sameName = 0;
    for (const auto &p : snap.byRAM) {
        const auto a = before.constFind(p.pid), b = after.constFind(p.pid);
        if (a == before.constEnd() || b == after.constEnd() || a->first == 0 || b->first == 0)
            continue; // started, exited or exiting around our pass
        ++compared;
        // Our names are the executable's full name; ps shows the kernel's 15-character comm,
        // which a script or a renamed thread can change, and which names the link a program
        // was started through (clang++ runs clang, ld.lld runs lld).
        const QString exe = QFileInfo(QFileInfo(QStringLiteral("/proc/%1/exe").arg(p.pid)).symLinkTarget()).fileName();
        if (p.name == b->second || (b->second.size() == 15 && p.name.startsWith(b->second)) || p.name == exe)
            ++sameName;
        const double lo = std::min(a->first, b->first), hi = std::max(a->first, b->first);
        EXPECT_GE(double(p.memoryBytes), lo * 0.9) << p.name.toStdString();
        EXPECT_LE(double(p.memoryBytes), hi * 1.1) << p.name.toStdString();
    }
    EXPECT_GE(compared, 1);
    EXPECT_GE(sameName * 2, compared);
}

TEST(LiveFigures, NetworkAndDiskPublishOnTheSecond)
{
    NetworkMonitor net;
    StorageMonitor disk;
    QTRY_VERIFY(net.downHistory()->samples().size() >= 1 && disk.readHistory()->samples().size() >= 1);
    EXPECT_GT(disk.totalCapacityBytes(), 0u);
}
