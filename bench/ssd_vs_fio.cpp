// Runs our disk benchmark and fio (direct I/O, 1 MiB blocks) on the same directory and size
// and prints both figures. Usage: corvane_ssd_vs_fio [directory] [size MB] [rounds]
#include "checks/SSDSpeedTester.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonArray>
#include <QProcess>
#include <QTextStream>

#include <cstdio>

using namespace corvane;

namespace {

struct Figures {
    double write = 0, read = 0;       // bytes over time, as fio counts
    double meanWrite = 0, meanRead = 0; // the engine's published averages (mean of block rates)
};

// Bytes over total time of equal blocks: the harmonic mean of their rates.
double aggregate(const QList<double> &rates)
{
    double inv = 0;
    for (double r : rates)
        inv += 1.0 / r;
    return rates.isEmpty() ? 0 : double(rates.size()) / inv;
}

Figures ours(const QString &dir, int sizeMB, int blockMB)
{
    SSDSpeedTester tester;
    tester.start(blockMB, sizeMB, dir);
    tester.waitForWorkers();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    if (tester.phaseValue() != SSDSpeedTester::Phase::Done) {
        std::fprintf(stderr, "our run failed: %s\n", qPrintable(tester.statusMessage()));
        return {};
    }
    return {aggregate(tester.writeHistory()), aggregate(tester.readHistory()), tester.avgWriteMBs(), tester.avgReadMBs()};
}

double fio(const QString &dir, int sizeMB, const char *rw)
{
    QProcess p;
    const QString file = QDir(dir).filePath(".corvane_fio.bin");
    p.start("fio", {"--name=corvane", "--filename=" + file, "--direct=1", QStringLiteral("--rw=") + rw, "--bs=1M",
                    QStringLiteral("--size=%1M").arg(sizeMB), "--ioengine=psync", "--numjobs=1", "--end_fsync=1",
                    "--output-format=json"});
    p.waitForFinished(-1);
    const QJsonObject job = QJsonDocument::fromJson(p.readAllStandardOutput()).object()["jobs"].toArray().at(0).toObject();
    const QString dirKey = QString::fromLatin1(rw) == "write" ? "write" : "read";
    return job[dirKey].toObject()["bw_bytes"].toDouble() / 1048576.0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QString dir = args.value(1);
    if (dir.isEmpty()) {
        auto files = BenchmarkFiles::createPosix();
        dir = SSDRules::benchmarkDirectory("/", SSDRules::rootCandidates(), *files);
    }
    const int sizeMB = args.value(2, "1024").toInt();
    const int rounds = args.value(3, "2").toInt();
    QTextStream out(stdout);
    out << "directory " << dir << ", " << sizeMB << " MB, 1 MiB blocks\n";
    Figures sumOurs, sumFio;
    for (int r = 0; r < rounds; ++r) {
        const Figures o = ours(dir, sizeMB, 1);
        const double fw = fio(dir, sizeMB, "write");
        const double fr = fio(dir, sizeMB, "read");
        QFile::remove(QDir(dir).filePath(".corvane_fio.bin"));
        out << QStringLiteral("round %1: ours write %2 read %3 MB/s (mean of blocks %6 / %7) | fio write %4 read %5 MB/s\n")
                   .arg(r + 1).arg(o.write, 0, 'f', 1).arg(o.read, 0, 'f', 1).arg(fw, 0, 'f', 1).arg(fr, 0, 'f', 1)
                   .arg(o.meanWrite, 0, 'f', 1).arg(o.meanRead, 0, 'f', 1);
        out.flush();
        sumOurs.write += o.write; sumOurs.read += o.read; sumFio.write += fw; sumFio.read += fr;
    }
    const double dw = (sumOurs.write - sumFio.write) / sumFio.write * 100;
    const double dr = (sumOurs.read - sumFio.read) / sumFio.read * 100;
    out << QStringLiteral("mean: ours write %1 read %2 | fio write %3 read %4 | difference write %5 % read %6 %\n")
               .arg(sumOurs.write / rounds, 0, 'f', 1).arg(sumOurs.read / rounds, 0, 'f', 1)
               .arg(sumFio.write / rounds, 0, 'f', 1).arg(sumFio.read / rounds, 0, 'f', 1)
               .arg(dw, 0, 'f', 1).arg(dr, 0, 'f', 1);
    const Figures big = ours(dir, sizeMB, 64);
    out << QStringLiteral("ours with the screen's 64 MB blocks: write %1 read %2 MB/s (mean of blocks %3 / %4)\n")
               .arg(big.write, 0, 'f', 1).arg(big.read, 0, 'f', 1).arg(big.meanWrite, 0, 'f', 1).arg(big.meanRead, 0, 'f', 1);
    return std::abs(dw) <= 5 && std::abs(dr) <= 5 ? 0 : 1;
}
