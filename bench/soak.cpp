// Runs the four queue samplers for N seconds (default 600) and prints the resident
// memory once a minute, to check that ticking does not grow the process.
#include "monitors/NetworkMonitor.h"
#include "monitors/ProcessMonitor.h"
#include "monitors/StorageMonitor.h"
#include "monitors/SystemMonitor.h"
#include "platform/linux/SysFile.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

static long rssKb()
{
    const auto statm = corvane::sysfile::read("/proc/self/statm");
    if (!statm)
        return -1;
    long size = 0, res = 0;
    std::sscanf(statm->c_str(), "%ld %ld", &size, &res);
    return res * (sysconf(_SC_PAGESIZE) / 1024);
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 600;
    corvane::SystemMonitor sys;
    corvane::NetworkMonitor net;
    corvane::StorageMonitor disk;
    corvane::ProcessMonitor procs;
    int elapsed = 0;
    std::printf("t=0s rss=%ldkB\n", rssKb());
    std::fflush(stdout);
    QTimer report;
    QObject::connect(&report, &QTimer::timeout, [&] {
        elapsed += 60;
        std::printf("t=%ds rss=%ldkB processes=%d cpu=%.3f\n", elapsed, rssKb(), procs.totalProcesses(),
                    sys.cpuUsage());
        std::fflush(stdout);
        if (elapsed >= seconds)
            QCoreApplication::quit();
    });
    report.start(60'000);
    if (seconds < 60)
        QTimer::singleShot(seconds * 1000, &app, [] { QCoreApplication::quit(); });
    return QCoreApplication::exec();
}
