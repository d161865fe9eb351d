// Runs the speed test with its real sizes against a loopback TLS server capped per connection
// and compares the phase averages with the caps. Usage: corvane_speedtest_loopback [MB/s per stream]
#include "checks/NetworkSpeedTester.h"
#include "support/LoopbackSpeedServer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTextStream>

using namespace corvane;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const double capMBs = app.arguments().value(1, "8").toDouble();
    test::LoopbackSpeedServer server;
    if (!server.isListening()) {
        QTextStream(stderr) << "server: " << server.error() << "\n";
        return 2;
    }
    const qint64 cap = qint64(capMBs * 1e6);
    server.setRateCap(cap);
    NetworkSpeedTester tester;
    tester.setHost(server.host());
    tester.setExtraCaCertificates({server.certificate()});
    QEventLoop loop;
    QObject::connect(&tester, &NetworkSpeedTester::runEnded, &loop, &QEventLoop::quit);
    tester.start();
    loop.exec();
    const double expectDown = 6 * cap * 8 / 1e6, expectUp = 4 * cap * 8 / 1e6;
    const double down = tester.downHistory().value(tester.downHistory().size() - 1);
    const double up = tester.upHistory().value(tester.upHistory().size() - 1);
    QTextStream out(stdout);
    out << "status: " << tester.statusMessage() << "\n";
    out << QStringLiteral("download phase average %1 Mbps, cap 6 x %2 MB/s = %3 Mbps (%4 %)\n")
               .arg(down, 0, 'f', 1).arg(capMBs).arg(expectDown, 0, 'f', 1).arg((down - expectDown) / expectDown * 100, 0, 'f', 1);
    out << QStringLiteral("upload phase average %1 Mbps, cap 4 x %2 MB/s = %3 Mbps (%4 %)\n")
               .arg(up, 0, 'f', 1).arg(capMBs).arg(expectUp, 0, 'f', 1).arg((up - expectUp) / expectUp * 100, 0, 'f', 1);
    out << QStringLiteral("peaks %1 / %2 Mbps, ping %3 ms\n").arg(tester.peakDownloadMbps(), 0, 'f', 1)
               .arg(tester.peakUploadMbps(), 0, 'f', 1).arg(tester.pingMs(), 0, 'f', 2);
    const bool ok = std::abs(down - expectDown) <= 0.05 * expectDown && std::abs(up - expectUp) <= 0.05 * expectUp;
    return ok ? 0 : 1;
}
