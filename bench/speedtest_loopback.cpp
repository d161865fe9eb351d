// Runs the speed test with its real sizes against a loopback TLS server capped per connection
// and compares its peaks and verdict with the caps, once with the GUI thread idle and once with
// it busy 120 ms of every 250 ms (as a heavy screen would keep it).
// Usage: corvane_speedtest_loopback [download cap in Mbit/s ...]   (default: 384 480)
// Six download streams share the download cap; the four upload streams get the same cap per stream.
// CORVANE_BENCH_VERBOSE=1 prints every sample of each run.
#include "checks/NetworkSpeedTester.h"
#include "support/LoopbackSpeedServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTextStream>
#include <QTimer>

#include <cmath>

using namespace corvane;

namespace {

struct Outcome {
    double peakDown = 0, peakUp = 0, avgDown = 0, avgUp = 0;
    QString verdict, jitter, status;
};

Outcome run(test::LoopbackSpeedServer &server, bool busyGui)
{
    NetworkSpeedTester tester;
    tester.setHost(server.host());
    tester.setExtraCaCertificates({server.certificate()});
    QTimer load;
    load.setInterval(250);
    QObject::connect(&load, &QTimer::timeout, [] {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 120) {
        }
    });
    if (busyGui)
        load.start();
    QEventLoop loop;
    QObject::connect(&tester, &NetworkSpeedTester::runEnded, &loop, &QEventLoop::quit);
    tester.start();
    loop.exec();
    load.stop();
    if (qEnvironmentVariableIsSet("CORVANE_BENCH_VERBOSE")) {
        QTextStream err(stderr);
        err << "down:";
        for (double v : tester.downHistory())
            err << " " << qRound(v);
        err << "\nup:";
        for (double v : tester.upHistory())
            err << " " << qRound(v);
        err << "\n";
    }
    return {tester.peakDownloadMbps(), tester.peakUploadMbps(), tester.avgDownloadMbps(), tester.avgUploadMbps(),
            SpeedRules::verdict(tester.peakDownloadMbps()), SpeedRules::jitterText(tester.downHistory()),
            tester.statusMessage()};
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QList<double> caps;
    for (const QString &a : app.arguments().mid(1))
        caps << a.toDouble();
    if (caps.isEmpty())
        caps = {384, 480};
    test::LoopbackSpeedServer server;
    QTextStream out(stdout);
    if (!server.isListening()) {
        QTextStream(stderr) << "server: " << server.error() << "\n";
        return 2;
    }
    bool ok = true;
    out << "cap Mbit/s (down / up) | GUI thread | peak down / cap | peak up / cap | avg down / cap | verdict | jitter\n";
    for (double capDown : caps) {
        const double perStream = capDown * 1e6 / 8 / NetworkSpeedTester::kDownloadStreams; // bytes per second
        const double capUp = perStream * 8 / 1e6 * NetworkSpeedTester::kUploadStreams;
        server.setRateCap(qint64(perStream));
        const QString expected = SpeedRules::verdict(capDown);
        for (bool busy : {false, true}) {
            const Outcome o = run(server, busy);
            const double rDown = o.peakDown / capDown, rUp = o.peakUp / capUp;
            out << QStringLiteral("%1 / %2 | %3 | %4 | %5 | %6 | %7%8 | %9\n")
                       .arg(capDown, 0, 'f', 0).arg(capUp, 0, 'f', 0)
                       .arg(busy ? QStringLiteral("busy 120/250 ms") : QStringLiteral("idle"))
                       .arg(rDown, 0, 'f', 3).arg(rUp, 0, 'f', 3).arg(o.avgDown / capDown, 0, 'f', 3)
                       .arg(o.verdict, o.verdict == expected ? QString() : QStringLiteral(" (expected %1)").arg(expected))
                       .arg(o.jitter);
            if (!o.status.startsWith(QLatin1String("Done")))
                out << "  status: " << o.status << "\n";
            ok = ok && std::abs(rDown - 1) <= 0.10 && o.verdict == expected;
        }
        out.flush();
    }
    return ok ? 0 : 1;
}
