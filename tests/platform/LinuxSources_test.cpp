// The Linux backends against fixture trees, and once against this machine.
#include "monitors/NetworkMonitor.h"
#include "platform/BlockStorage.h"
#include "platform/HostStats.h"
#include "platform/NetworkCounters.h"
#include "platform/ProcessTable.h"
#include "platform/linux/SysFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <set>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace corvane;

static const QString kProc = QStringLiteral(CORVANE_FIXTURES "/proc");
static const QString kSys = QStringLiteral(CORVANE_FIXTURES "/sys");

TEST(LinuxHostStats, MapsProcStatAndMeminfo)
{
    auto host = makeLinuxHostStats(kProc);
    const auto cpu = host->cpuLoad();
    ASSERT_TRUE(cpu);
    EXPECT_EQ(cpu->user, 4705u);
    EXPECT_EQ(cpu->nice, 150u);
    EXPECT_EQ(cpu->system, 1120u + 10 + 30 + 5); // + irq + softirq + steal
    EXPECT_EQ(cpu->idle, 16250u + 520);          // + iowait
    EXPECT_EQ(host->physicalMemory(), 16384000ULL * 1024);
    const auto vm = host->vmCounters();
    ASSERT_TRUE(vm);
    const uint64_t used = host->pageSize() * (vm->active + vm->wired + vm->compressor);
    EXPECT_EQ(used, (16384000ULL - 8192000ULL) * 1024); // MemTotal − MemAvailable
    EXPECT_DOUBLE_EQ(host->uptimeSeconds(), 35123.45);

    // A meminfo longer than one read, held open across a change: the figure past the
    // first read's end is today's.
    QTemporaryDir dir;
    const auto meminfo = [&](quint64 availableKb) {
        QFile f(dir.filePath("meminfo"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("MemTotal:       16384000 kB\n");
        for (int i = 0; i < 300; ++i)
            f.write(QStringLiteral("Filler%1:   %2 kB\n").arg(i, 4, 10, QLatin1Char('0')).arg(i).toLatin1());
        f.write("MemAvailable:   " + QByteArray::number(availableKb) + " kB\n");
    };
    meminfo(8192000);
    auto big = makeLinuxHostStats(dir.path());
    ASSERT_TRUE(big->vmCounters());
    meminfo(4096000);
    const auto later = big->vmCounters();
    ASSERT_TRUE(later);
    EXPECT_EQ(big->pageSize() * later->active, (16384000ULL - 4096000ULL) * 1024);

    auto missing = makeLinuxHostStats(QStringLiteral("/nonexistent"));
    EXPECT_FALSE(missing->cpuLoad());
    EXPECT_FALSE(missing->vmCounters());
    EXPECT_EQ(missing->physicalMemory(), 0u);
}

namespace {
QStringList g_messages;
void keepMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (QByteArray(context.category).startsWith("corvane."))
        g_messages.append(QStringLiteral("%1 %2").arg(type == QtWarningMsg ? "W" : "D", text));
}
} // namespace

// A source that fails says so once, with its path and the system's reason, and once more
// when it works again; a read that keeps failing every second adds nothing.
TEST(LinuxHostStats, AFailedReadIsLoggedOnceWithItsPath)
{
    QLoggingCategory::setFilterRules(QStringLiteral("corvane.*.debug=true"));
    QTemporaryDir dir;
    const QString stat = dir.filePath("stat");
    auto host = makeLinuxHostStats(dir.path());
    g_messages.clear();
    const auto previous = qInstallMessageHandler(keepMessage);
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(host->cpuLoad());
    // A folder where the file should be: opened, then refused with EISDIR, a warning.
    ASSERT_TRUE(QDir(dir.path()).mkdir("stat"));
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(host->cpuLoad());
    ASSERT_TRUE(QDir(dir.path()).rmdir("stat"));
    {
        QFile f(stat);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("cpu  1 2 3 4 5 6 7 8 0 0\n");
    }
    EXPECT_TRUE(host->cpuLoad());
    EXPECT_TRUE(host->cpuLoad());
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QString());
    EXPECT_EQ(g_messages, (QStringList{
                              "D " + stat + ": " + QString::fromLocal8Bit(strerror(ENOENT)) + " (errno 2)",
                              "W " + stat + ": " + QString::fromLocal8Bit(strerror(EISDIR)) + " (errno 21)",
                              "W " + stat + ": available again",
                          }));
}

TEST(LinuxNetworkCounters, ReadsInIndexOrder)
{
    auto net = makeLinuxNetworkCounters(kSys, kProc);
    const auto list = net->interfaces();
    ASSERT_TRUE(list);
    QStringList names;
    for (const auto &i : *list)
        names << i.name;
    EXPECT_EQ(names, (QStringList{"bonding_masters_dir", "lo", "eth0", "wlan0"}));
    EXPECT_FALSE(list->at(0).linkLevel); // no counters
    const auto t = NetworkSampler::sumInterfaceCounters(*list);
    EXPECT_EQ(t.received, 5100u);
    EXPECT_EQ(t.sent, 750u);
    EXPECT_EQ(t.primary, QStringLiteral("eth0"));
    EXPECT_FALSE(makeLinuxNetworkCounters(QStringLiteral("/nonexistent"))->interfaces());
}

TEST(LinuxNetworkCounters, WireGuardDockerHostCountsOnlyItsNetworkCards)
{
    const QString root = QStringLiteral(CORVANE_FIXTURES "/machine/vpn-docker-host");
    auto net = makeLinuxNetworkCounters(root + "/sys", root + "/proc");
    const auto list = net->interfaces();
    ASSERT_TRUE(list);
    QStringList physical, routed;
    for (const auto &i : *list) {
        if (i.physical)
            physical << i.name;
        if (i.defaultRoute)
            routed << i.name;
    }
    EXPECT_EQ(physical, (QStringList{"enp0s31f6", "wlp0s20f3"}));
    // The cable's stale default (lower metric, not up) loses to the Wi-Fi's live one.
    EXPECT_EQ(routed, QStringList{"wlp0s20f3"});
    const auto t = NetworkSampler::sumInterfaceCounters(*list);
    EXPECT_EQ(t.received, 14'000'000'000ULL);
    EXPECT_EQ(t.sent, 1'800'000'000ULL);
    EXPECT_EQ(t.primary, QStringLiteral("wlp0s20f3")); // not the busier cable, never docker0

    // Without a routing table the busiest card is primary.
    auto noRoutes = makeLinuxNetworkCounters(root + "/sys", QStringLiteral("/nonexistent"));
    EXPECT_EQ(NetworkSampler::sumInterfaceCounters(*noRoutes->interfaces()).primary, QStringLiteral("enp0s31f6"));
}

// A link's counters are held open and read again each pass: figures that grow are read
// anew, a link that goes lets go of its files, and one made anew under the same name (another
// index) is read afresh.
TEST(LinuxNetworkCounters, HeldCountersFollowLinksThatChangeComeAndGo)
{
    QTemporaryDir dir;
    const QString net = dir.filePath("sys/class/net");
    const auto write = [](const QString &path, const QByteArray &text) {
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    };
    const auto link = [&](const QString &name, int index, quint64 rx, quint64 tx) {
        write(net + "/" + name + "/ifindex", QByteArray::number(index) + "\n");
        write(net + "/" + name + "/statistics/rx_bytes", QByteArray::number(rx) + "\n");
        write(net + "/" + name + "/statistics/tx_bytes", QByteArray::number(tx) + "\n");
    };
    const auto read = [](NetworkCounters &c) {
        QStringList out;
        const auto list = c.interfaces();
        for (const auto &i : *list)
            out << QStringLiteral("%1 %2/%3").arg(i.name).arg(i.rxBytes).arg(i.txBytes);
        return out;
    };
    link("eth0", 2, 100, 10);
    link("wlan0", 3, 500, 50);
    auto counters = makeLinuxNetworkCounters(dir.filePath("sys"), QStringLiteral("/nonexistent"));
    EXPECT_EQ(read(*counters), (QStringList{"eth0 100/10", "wlan0 500/50"}));

    link("eth0", 2, 4'294'967'296 + 7, 11); // past 32 bits, and a longer text than before
    EXPECT_EQ(read(*counters), (QStringList{"eth0 4294967303/11", "wlan0 500/50"}));

    ASSERT_TRUE(QDir(net + "/wlan0").removeRecursively());
    EXPECT_EQ(read(*counters), QStringList{"eth0 4294967303/11"});

    // eth0 made anew (written beside the old one, then put in its place) with a higher index.
    link("eth0.new", 9, 1, 2);
    ASSERT_TRUE(QDir(net + "/eth0").removeRecursively());
    ASSERT_TRUE(QDir(net).rename("eth0.new", "eth0"));
    link("wlan0", 3, 600, 60);
    EXPECT_EQ(read(*counters), (QStringList{"wlan0 600/60", "eth0 1/2"}));
}

TEST(LinuxBlockStorage, WholeDisksWithADeviceOnly)
{
    auto bs = makeLinuxBlockStorage(kProc, kSys, QDir::tempPath());
    const auto drives = bs->drives();
    ASSERT_TRUE(drives);
    ASSERT_EQ(drives->size(), 2); // sda and nvme0n1; not loop0, sda1 or dm-0
    EXPECT_FALSE(drives->at(0).productName); // blank model
    EXPECT_EQ(*drives->at(0).bytesRead, 80000ULL * 512);
    EXPECT_EQ(*drives->at(0).bytesWritten, 40000ULL * 512);
    EXPECT_EQ(drives->at(1).productName, QStringLiteral("Samsung SSD 980"));
    EXPECT_TRUE(bs->readsMayBlock()); // the home volume is not known yet
    const auto vol = bs->homeVolume();
    ASSERT_TRUE(vol);
    EXPECT_GT(*vol->total, 0u);
    EXPECT_FALSE(vol->availableForImportantUsage);
    EXPECT_FALSE(bs->readsMayBlock()); // the temporary folder is on a local file system
    auto missing = makeLinuxBlockStorage(kProc, kSys, QStringLiteral("/nonexistent/home"));
    EXPECT_FALSE(missing->homeVolume());
    EXPECT_TRUE(missing->readsMayBlock());
}

// Drives are looked up once, not every second, yet a disk plugged in or pulled out is seen
// on the next read, and a name that comes back as another disk shows its own model.
TEST(LinuxBlockStorage, DisksThatComeAndGoAreSeenAtOnce)
{
    QTemporaryDir dir;
    const QString proc = dir.filePath("proc"), sys = dir.filePath("sys");
    QDir().mkpath(proc);
    const auto write = [](const QString &path, const QByteArray &text) {
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    };
    const QByteArray nvme = " 259 0 nvme0n1 7000 0 100000 500 9000 0 200000 800 0 1200 1300 0 0 0 0\n";
    const QByteArray usb = "   8 16 sdb 10 0 64 1 0 0 0 0 0 1 1 0 0 0 0\n";
    write(sys + "/block/nvme0n1/device/model", "Samsung SSD 980\n");
    write(proc + "/diskstats", "   7 0 loop0 1 0 8 0 0 0 0 0 0 1 1 0 0 0 0\n" + nvme);
    auto bs = makeLinuxBlockStorage(proc, sys, QDir::tempPath());
    ASSERT_EQ(bs->drives()->size(), 1);

    write(sys + "/block/sdb/device/model", "SanDisk Ultra\n");
    write(proc + "/diskstats", nvme + usb);
    auto drives = bs->drives();
    ASSERT_EQ(drives->size(), 2);
    EXPECT_EQ(drives->at(1).productName, QStringLiteral("SanDisk Ultra"));

    write(proc + "/diskstats", nvme);
    EXPECT_EQ(bs->drives()->size(), 1);
    write(sys + "/block/sdb/device/model", "Kingston DataTraveler\n");
    write(proc + "/diskstats", nvme + usb);
    drives = bs->drives();
    ASSERT_EQ(drives->size(), 2);
    EXPECT_EQ(drives->at(1).productName, QStringLiteral("Kingston DataTraveler"));
}

TEST(LinuxProcessTable, ParsesStatAfterTheLastParenthesis)
{
    auto pt = makeLinuxProcessTable(kProc);
    auto pids = pt->listPids();
    std::sort(pids.begin(), pids.end());
    EXPECT_EQ(pids, (std::vector<int32_t>{1, 99, 4321}));
    const auto web = pt->taskInfo(4321);
    ASSERT_TRUE(web);
    EXPECT_EQ(web->name, QStringLiteral("Web Content (1)"));
    EXPECT_EQ(web->userTime, 1234u);
    EXPECT_EQ(web->systemTime, 567u);
    EXPECT_EQ(web->residentBytes, 25000ULL * static_cast<uint64_t>(sysconf(_SC_PAGESIZE)));
    EXPECT_FALSE(pt->taskInfo(99));   // short record
    EXPECT_FALSE(pt->taskInfo(1234)); // gone
    const Timebase tb = pt->timebase();
    EXPECT_EQ(uint64_t(tb.numer) * uint64_t(sysconf(_SC_CLK_TCK)), 1'000'000'000u);
}

// The stat files stay open between passes: each pass must still see what the file says now.
TEST(LinuxProcessTable, EachPassReadsTheCurrentRecord)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString proc = dir.path() + "/proc";
    auto write = [&](const QString &pid, const QByteArray &stat) {
        QDir().mkpath(proc + '/' + pid);
        QFile f(proc + '/' + pid + "/stat");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(stat);
    };
    // Fields after ')': state ppid pgrp session tty tpgid flags minflt cminflt majflt cmajflt
    // utime stime cutime cstime prio nice threads itreal starttime vsize rss.
    auto stat = [](int utime, int rss) {
        return QByteArray("7 (worker) S 1 7 7 0 -1 0 0 0 0 0 ") + QByteArray::number(utime)
            + " 5 0 0 20 0 1 0 900 1000 " + QByteArray::number(rss) + '\n';
    };
    write("7", stat(100, 10));
    auto pt = makeLinuxProcessTable(proc);
    ASSERT_EQ(pt->listPids(), std::vector<int32_t>{7});
    ASSERT_TRUE(pt->taskInfo(7));
    EXPECT_EQ(pt->taskInfo(7)->userTime, 100u);

    write("7", stat(250, 30)); // rewritten in place, as the kernel regenerates it
    ASSERT_EQ(pt->listPids(), std::vector<int32_t>{7});
    const auto later = pt->taskInfo(7);
    ASSERT_TRUE(later);
    EXPECT_EQ(later->userTime, 250u);
    EXPECT_EQ(later->residentBytes, 30ULL * static_cast<uint64_t>(sysconf(_SC_PAGESIZE)));

    QDir(proc + "/7").removeRecursively(); // gone from the listing: its file is let go
    EXPECT_TRUE(pt->listPids().empty());
    EXPECT_FALSE(pt->taskInfo(7));
}

// --- against this machine ---------------------------------------------------

// A process read once and then ended and reaped is not reported again from the file kept
// open for it, whether or not a listing came in between.
TEST(LinuxSourcesOnThisMachine, AnEndedProcessIsNotReadFromItsHeldFile)
{
    for (const bool listedBetween : {false, true}) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::execl("/bin/sleep", "sleep", "30", static_cast<char *>(nullptr));
            ::_exit(127);
        }
        ASSERT_GT(child, 0);
        auto pt = makeLinuxProcessTable();
        const auto pids = pt->listPids();
        ASSERT_NE(std::find(pids.begin(), pids.end(), child), pids.end());
        ASSERT_TRUE(pt->taskInfo(child));
        ASSERT_TRUE(pt->taskInfo(child)); // read again from the held file
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        if (listedBetween)
            pt->listPids();
        EXPECT_FALSE(pt->taskInfo(child)) << (listedBetween ? "after a listing" : "without a listing");
    }
}

TEST(LinuxSourcesOnThisMachine, AgreeWithTheKernel)
{
    auto host = makeLinuxHostStats();
    const auto meminfo = sysfile::read("/proc/meminfo");
    ASSERT_TRUE(meminfo);
    const QString text = QString::fromStdString(*meminfo);
    auto kb = [&](const char *key) {
        const QString line = text.section(QString::fromLatin1(key) + ':', 1, 1).section('\n', 0, 0);
        return line.trimmed().section(' ', 0, 0).toULongLong();
    };
    EXPECT_EQ(host->physicalMemory(), kb("MemTotal") * 1024);
    const auto vm = host->vmCounters();
    ASSERT_TRUE(vm);
    const double used = double(host->pageSize()) * (vm->active + vm->wired + vm->compressor);
    const double expect = double(kb("MemTotal") - kb("MemAvailable")) * 1024;
    EXPECT_NEAR(used, expect, 0.02 * kb("MemTotal") * 1024);
    EXPECT_TRUE(host->cpuLoad());

    auto pt = makeLinuxProcessTable();
    const auto pids = pt->listPids();
    const std::set<int32_t> listed(pids.begin(), pids.end());
    EXPECT_TRUE(listed.count(static_cast<int32_t>(getpid())));
    const auto self = pt->taskInfo(static_cast<int32_t>(getpid()));
    ASSERT_TRUE(self);
    EXPECT_GT(self->residentBytes, 0u);
    // Kernel threads seen once are known as such on the next pass without reading their
    // records; user processes are still read.
    std::set<int32_t> kernel;
    for (const int32_t pid : pids)
        if (const auto info = pt->taskInfo(pid); info && info->kernelThread)
            kernel.insert(pid);
    pt->listPids();
    for (const int32_t pid : kernel) {
        if (const auto info = pt->taskInfo(pid)) {
            EXPECT_TRUE(info->kernelThread) << pid;
        }
    }
    const auto again = pt->taskInfo(static_cast<int32_t>(getpid()));
    ASSERT_TRUE(again);
    EXPECT_FALSE(again->kernelThread);
    EXPECT_GE(again->userTime + again->systemTime, self->userTime + self->systemTime);

    auto net = makeLinuxNetworkCounters();
    const auto ifaces = net->interfaces();
    ASSERT_TRUE(ifaces);
    for (const auto &i : *ifaces) {
        const auto rx = sysfile::readU64("/sys/class/net/" + i.name.toStdString() + "/statistics/rx_bytes");
        if (rx)
            EXPECT_GE(i.rxBytes, 0u);
        else
            EXPECT_FALSE(i.linkLevel);
    }
    // The held counter files give the kernel's current figure on each read.
    const auto loopback = [&]() -> std::optional<uint64_t> {
        const auto list = net->interfaces();
        for (const auto &i : *list)
            if (i.name == u"lo" && i.linkLevel)
                return i.rxBytes;
        return std::nullopt;
    };
    const auto before = loopback();
    if (!before)
        return; // no loopback counters here
    const int sock = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(sock, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(9); // discard: nobody needs to listen, the link counts it anyway
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const char payload[1000] = {};
    for (int i = 0; i < 20; ++i)
        ::sendto(sock, payload, sizeof payload, 0, reinterpret_cast<const sockaddr *>(&to), sizeof to);
    ::close(sock);
    const auto after = loopback();
    ASSERT_TRUE(after);
    EXPECT_GE(*after, *before + 20 * sizeof payload);
    EXPECT_LE(*after, *sysfile::readU64("/sys/class/net/lo/statistics/rx_bytes"));
}
