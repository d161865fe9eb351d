#include "checks/ReportLine.h"

#include "checks/CPUStresser.h"

#include "common/Formatters.h"
#include "common/Numbers.h"
#include "state/ThemeManager.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace corvane {
namespace {

double peakOf(const QList<double> &v) { return v.isEmpty() ? 0.0 : *std::max_element(v.begin(), v.end()); }
double meanOf(const QList<double> &v)
{
    return v.isEmpty() ? 0.0 : std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
}
QString wholeSeconds(double s) { return printfInt(saturatingCast<long long>(s)); }
const QColor kWhite = QColor::fromRgbF(1, 1, 1, 1);

} // namespace

namespace StressRules {

QString cpuVerdict(double mh)
{
    // NaN fails every comparison and lands on the last word.
    if (mh >= 200)
        return QStringLiteral("Procesor de top");
    if (mh >= 80)
        return QStringLiteral("Excelent");
    if (mh >= 30)
        return QStringLiteral("Bun");
    if (mh >= 10)
        return QStringLiteral("Mediu");
    return QStringLiteral("Slab");
}

QColor cpuVerdictColor(double mh)
{
    const AppTheme t = ThemeManager::current();
    if (mh >= 80)
        return Themes::good(t);
    if (mh >= 30)
        return Themes::accent(t);
    return Themes::warning(t);
}

QString gpuVerdict(double p, double f, bool measured)
{
    // Without a utilisation source a low figure says nothing about the GPU.
    if (!measured)
        return QStringLiteral("Încărcare nemăsurabilă");
    if (p >= 85 && f >= 100)
        return QStringLiteral("Dedicat / integrat puternic");
    if (p >= 70 && f >= 60)
        return QStringLiteral("GPU bun");
    if (p >= 40)
        return QStringLiteral("Mediu");
    return QStringLiteral("Slab / throttled");
}

QColor gpuVerdictColor(double p, bool measured)
{
    const AppTheme t = ThemeManager::current();
    if (!measured)
        return QColor::fromRgbF(1, 1, 1, 0.55);
    if (p >= 80)
        return Themes::good(t);
    if (p >= 50)
        return Themes::accent(t);
    return Themes::warning(t);
}

QString pressureWord(quint32 level)
{
    if (level == 4)
        return QStringLiteral("CRITICĂ");
    if (level == 2)
        return QStringLiteral("AVERTISMENT");
    return QStringLiteral("NORMALĂ");
}

QColor pressureColor(quint32 level)
{
    const AppTheme t = ThemeManager::current();
    if (level == 4)
        return Themes::critical(t);
    if (level == 2)
        return Themes::warning(t);
    return Themes::good(t);
}

QString millionsText(quint64 count) { return QString::number(count / 1'000'000) + QStringLiteral(" M"); }

QString cpuSubtitle(int threads, double elapsed)
{
    return QStringLiteral("SHA-256 soak · ") + QString::number(threads) + QStringLiteral(" fire · ") +
           wholeSeconds(elapsed) + QStringLiteral("s");
}

QString gpuSubtitle(double elapsed)
{
    return QStringLiteral("OpenGL fragment shader · ") + wholeSeconds(elapsed) + QStringLiteral("s");
}

QList<ReportLine> cpuLines(const CpuRunFigures &r)
{
    const AppTheme t = ThemeManager::current();
    const double peak = peakOf(r.hashHistory);
    const double mh = meanOf(r.hashHistory) / 1e6;
    const auto mhs = [](double v) { return printfFixed(v, 2) + QStringLiteral(" MH/s"); };
    return {
        {QUuid::createUuid(), QStringLiteral("Peak throughput"), mhs(peak / 1e6), Themes::warning(t)},
        {QUuid::createUuid(), QStringLiteral("Avg throughput"), mhs(mh), Themes::warning(t)},
        {QUuid::createUuid(), QStringLiteral("Total hash-uri"), millionsText(r.totalHashes), Themes::accent(t)},
        {QUuid::createUuid(), QStringLiteral("Throughput / core"), mhs(mh / std::max(r.threads, 1)), kWhite},
        {QUuid::createUuid(), QStringLiteral("Threads"), QString::number(r.threads), kWhite},
        {QUuid::createUuid(), QStringLiteral("Durată"), printfFixed(r.elapsed, 1) + QStringLiteral(" s"), kWhite},
        {QUuid::createUuid(), QStringLiteral("Cores fizice"), QString::number(r.processors), Themes::good(t)},
        {QUuid::createUuid(), QStringLiteral("Verdict"), cpuVerdict(mh), cpuVerdictColor(mh)},
    };
}

QList<ReportLine> gpuLines(const GpuRunFigures &r)
{
    const AppTheme t = ThemeManager::current();
    const double p = peakOf(r.utilSamples) * 100;
    const double avg = meanOf(r.utilSamples) * 100;
    const double f = meanOf(r.fpsSamples);
    const QString dash = QStringLiteral("—");
    // No sample, or a figure the system never gave (no display refresh, no VRAM counter), is
    // no figure: a dash, never a zero.
    const bool haveUtil = r.utilizationMeasured && !r.utilSamples.isEmpty();
    const bool haveFrames = peakOf(r.fpsSamples) > 0;
    const auto pct = [&](double v) { return haveUtil ? printfFixed(v, 0) + QStringLiteral("%") : dash; };
    const auto frames = [&](double v) { return haveFrames ? framesText(v) : dash; };
    return {
        {QUuid::createUuid(), QStringLiteral("Peak utilizare"), pct(p), Themes::warning(t)},
        {QUuid::createUuid(), QStringLiteral("Avg utilizare"), pct(avg), Themes::warning(t)},
        {QUuid::createUuid(), QStringLiteral("Peak FPS"), frames(peakOf(r.fpsSamples)), Themes::good(t)},
        {QUuid::createUuid(), QStringLiteral("Avg FPS"), frames(f), Themes::good(t)},
        {QUuid::createUuid(), QStringLiteral("Refresh"), hertzText(r.refreshHz), Themes::accent(t)},
        {QUuid::createUuid(), QStringLiteral("VRAM"), vramText(r.vramUsedBytes), Themes::accentSecondary(t)},
        {QUuid::createUuid(), QStringLiteral("GPU"), r.gpuName, kWhite},
        {QUuid::createUuid(), QStringLiteral("Verdict"), gpuVerdict(p, f, r.utilizationMeasured),
         gpuVerdictColor(p, r.utilizationMeasured)},
    };
}

QString hertzText(double hz)
{
    return hz > 0 && std::isfinite(hz) ? printfFixed(hz, 0) + QStringLiteral(" Hz") : QStringLiteral("—");
}

QString framesText(double fps) { return fps > 0 && std::isfinite(fps) ? printfFixed(fps, 0) : QStringLiteral("—"); }

QString vramText(quint64 bytes) { return bytes ? byteCountText(bytes) : QStringLiteral("—"); }

} // namespace StressRules

QVariantList StressRulesBridge::toVariant(const QList<ReportLine> &lines)
{
    QVariantList out;
    out.reserve(lines.size());
    for (const ReportLine &l : lines)
        out << QVariant::fromValue(l);
    return out;
}

QVariantList StressRulesBridge::cpuLines(CPUStresser *s) const
{
    if (!s)
        return {};
    // The run's own thread count: the stepper may have moved since it started.
    return toVariant(StressRules::cpuLines({s->hashHistory(), s->totalHashes(), s->runThreads(), s->elapsed(), s->processorCount()}));
}

QString StressRulesBridge::millions(double count) const { return StressRules::millionsText(saturatingCast<quint64>(count)); }

QString StressRulesBridge::vram(double bytes) const { return StressRules::vramText(saturatingCast<quint64>(bytes)); }

} // namespace corvane
