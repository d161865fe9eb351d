// The CPU soak against OpenSSL's own SHA-256 speed test, one after the other in one run:
// as many threads as processors, 10 s each, 32-byte messages.
// Prints our hashes per second as a share of openssl's (its bytes per second ÷ 32).
#include "checks/CPUStresser.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include <cstdio>

using namespace corvane;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int n = CPUStresser::activeProcessorCount();
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;

    CPUStresser s;
    s.setThreads(n);
    s.setDurationSec(seconds);
    QObject::connect(&s, &CPUStresser::phaseChanged, &app, [&] {
        if (!s.running())
            app.quit();
    });
    s.start();
    app.exec();
    const double ours = static_cast<double>(s.totalHashes()) / s.elapsed();
    std::printf("CPUStresser: %d threads, %.1f s, %llu hashes, %.2f MH/s\n", n, s.elapsed(),
                static_cast<unsigned long long>(s.totalHashes()), ours / 1e6);

    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("speed"), QStringLiteral("-evp"), QStringLiteral("sha256"), QStringLiteral("-bytes"),
                   QStringLiteral("32"), QStringLiteral("-multi"), QString::number(n), QStringLiteral("-seconds"),
                   QString::number(static_cast<int>(seconds))});
    if (!openssl.waitForFinished(static_cast<int>(seconds * 1000) + 60000)) {
        std::fprintf(stderr, "openssl speed did not finish\n");
        return 1;
    }
    const QString out = QString::fromLocal8Bit(openssl.readAllStandardOutput());
    // The summary line: "sha256   123456.78k" (thousands of bytes per second).
    const QRegularExpression line(QStringLiteral(R"(^sha256\s+([0-9.]+)k\s*$)"),
                                  QRegularExpression::MultilineOption | QRegularExpression::CaseInsensitiveOption);
    QRegularExpressionMatch last;
    for (auto it = line.globalMatch(out); it.hasNext();)
        last = it.next();
    if (!last.hasMatch()) {
        std::fprintf(stderr, "no sha256 figure in:\n%s\n", qPrintable(out));
        return 1;
    }
    const double theirs = last.captured(1).toDouble() * 1000.0 / 32.0;
    std::printf("openssl speed: %.2f MH/s (32-byte digests)\n", theirs / 1e6);
    std::printf("share: %.1f %%\n", 100.0 * ours / theirs);
    return 0;
}
