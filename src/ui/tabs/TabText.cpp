#include "ui/tabs/TabText.h"

#include "common/Numbers.h"
#include "monitors/USBMonitor.h"
#include "notify/BatteryHistory.h"
#include "common/Formatters.h"

#include <algorithm>
#include <cmath>

namespace corvane {

QString TabText::dayMonthTime(const QDateTime &at, const QLocale &locale)
{
    // Month-first locales put the month before the day, as their short date does.
    const QString shortDate = locale.dateFormat(QLocale::ShortFormat);
    const qsizetype month = shortDate.indexOf(QLatin1Char('M'));
    const qsizetype day = shortDate.indexOf(QLatin1Char('d'));
    const QString date = month >= 0 && day >= 0 && month < day ? QStringLiteral("MMM d,") : QStringLiteral("d MMM");
    const QString time = locale.timeFormat(QLocale::ShortFormat).contains(QLatin1String("ap"), Qt::CaseInsensitive)
        ? QStringLiteral("h:mm AP")
        : QStringLiteral("HH:mm");
    return locale.toString(at.toLocalTime(), date + QLatin1Char(' ') + time);
}

QString TabText::cpuText(double cpuPercent) { return printfFixed(cpuPercent, 1) + QLatin1Char('%'); }

double TabText::cpuFraction(double cpuPercent)
{
    if (!(cpuPercent > 0))
        return 0;
    return std::min(cpuPercent / 200.0, 1.0);
}

QString TabText::memoryText(double bytes) { return byteCountText(saturatingCast<quint64>(bytes)); }

double TabText::memoryFraction(double bytes, double totalBytes)
{
    if (!(totalBytes > 0) || !(bytes > 0))
        return 0;
    return std::min(bytes / totalBytes, 1.0);
}

QString TabText::processCountText(int count) { return QString::number(count) + QStringLiteral(" procese active"); }

int TabText::speedCode(const QString &s)
{
    // First marker found wins; "20 Gb" and "12 Mb" appear only in the 20 Gb/s and 12 Mb/s texts.
    static const std::pair<const char *, int> markers[] = {{"20 Gb", 5}, {"10 Gb", 4}, {"5 Gb", 3},
                                                           {"480", 2},   {"12 Mb", 1}, {"1.5", 0}};
    for (const auto &[marker, code] : markers)
        if (s.contains(QLatin1String(marker)))
            return code;
    return -1;
}

int TabText::bestSpeedCode(const QStringList &portSpeeds)
{
    int best = -1; // no device with a known speed
    for (const QString &s : portSpeeds)
        best = std::max(best, speedCode(s));
    return best;
}

int TabText::bestSpeedCodeOf(const QVariantList &devices)
{
    QStringList speeds;
    for (const QVariant &v : devices)
        speeds << v.value<USBDevice>().portSpeed;
    return bestSpeedCode(speeds);
}

QString TabText::usbSpeedLabel(int code)
{
    switch (code) {
    case 1: return QStringLiteral("USB Full (12 Mb/s)");
    case 2: return QStringLiteral("USB 2.0 (480 Mb/s)");
    case 3: return QStringLiteral("USB 3.0 (5 Gb/s)");
    case 4: return QStringLiteral("USB 3.1 (10 Gb/s)");
    case 5: return QStringLiteral("USB 3.2 (20 Gb/s)");
    case 0: return QStringLiteral("USB Low (1.5 Mb/s)");
    default: return QStringLiteral("—");
    }
}

QString TabText::wattsText(double watts) { return printfFixed(watts, 2) + QStringLiteral(" W"); }

QString TabText::devicePowerText(double milliAmps)
{
    return printfFixed(milliAmps, 0) + QStringLiteral(" mA · ") + wattsText(milliAmps * 5.0 / 1000.0);
}

QString TabText::roundedHz(double hz)
{
    // Half away from zero; no rate (0, as a virtual screen gives) or a broken one shows a dash.
    const auto v = std::isfinite(hz) && hz > 0 ? checkedCast<long long>(std::round(hz)) : std::nullopt;
    return v ? QString::number(*v) : QStringLiteral("—");
}

QString TabText::hertzText(double hz)
{
    const QString n = roundedHz(hz);
    return n == QStringLiteral("—") ? n : n + QStringLiteral(" Hz");
}

QString TabText::summaryLine(const DisplayInfo &d)
{
    const QString hz = roundedHz(d.refreshHz);
    return QString::number(d.resolutionWidth) + QStringLiteral(" × ") + QString::number(d.resolutionHeight)
        + QStringLiteral(" @ ") + (hz == QStringLiteral("—") ? hz : hz + QStringLiteral("Hz")) + QStringLiteral(" · ")
        + QString::number(d.bitsPerColor) + QStringLiteral("-bit · ") + d.colorSpaceName;
}

QString TabText::diagonalText(double inches) { return printfFixed(inches, 1) + QLatin1Char('"'); }

QList<QPair<QString, QString>> TabText::detailCells(const DisplayInfo &d)
{
    auto hex4 = [](quint32 v) { return QStringLiteral("0x") + QString::number(v, 16).toUpper().rightJustified(4, u'0'); };
    QList<QPair<QString, QString>> cells = {
        {QStringLiteral("Native"), QString::number(d.nativeWidth) + QStringLiteral(" × ") + QString::number(d.nativeHeight)},
        {QStringLiteral("Pixel buffer"), QString::number(d.pixelWidth) + QStringLiteral(" × ") + QString::number(d.pixelHeight)},
        {QStringLiteral("Refresh maxim"), hertzText(d.maxRefreshHz)},
        {QStringLiteral("Refresh curent"), hertzText(d.refreshHz)},
        {QStringLiteral("Bits / culoare"), QString::number(d.bitsPerColor) + QStringLiteral("-bit")},
        {QStringLiteral("Spațiu culoare"), d.colorSpaceName},
        {QStringLiteral("HDR (EDR max)"), printfFixed(d.maxEDR, 2) + QStringLiteral("×")},
        {QStringLiteral("Conexiune"), d.transport},
        // Both 0: no EDID was read (a virtual screen), not a vendor numbered 0.
        {QStringLiteral("Vendor / Product"), d.vendorCode == 0 && d.productCode == 0
                                                 ? QStringLiteral("—")
                                                 : hex4(d.vendorCode) + QStringLiteral(" / ") + hex4(d.productCode)},
        {QStringLiteral("Serial"), d.serial == 0 ? QStringLiteral("—") : QString::number(d.serial)},
    };
    if (d.yearOfManufacture)
        cells.append({QStringLiteral("Anul fabricației"), QString::number(*d.yearOfManufacture)});
    cells.append({QStringLiteral("Oglindire"), d.isMirror ? QStringLiteral("Da") : QStringLiteral("Nu")});
    cells.append({QStringLiteral("Stare"), d.isAsleep ? QStringLiteral("Adormit") : QStringLiteral("Activ")});
    // No size was measured: a dash, as for a refresh rate nobody gave.
    cells.append({QStringLiteral("Diagonală"), d.diagonalInches > 0 ? printfFixed(d.diagonalInches, 1) + QStringLiteral(" inch")
                                                                      : QStringLiteral("—")});
    return cells;
}

QStringList TabText::modeLines(const DisplayInfo &d)
{
    QStringList out;
    for (const SupportedMode &m : d.supportedModes.mid(0, 8))
        out << QStringLiteral("• ") + m.label();
    return out;
}

QString TabText::summaryLineOf(const QVariant &display) { return summaryLine(display.value<DisplayInfo>()); }
QString TabText::diagonalOf(const QVariant &display) { return diagonalText(display.value<DisplayInfo>().diagonalInches); }

QVariantList TabText::detailCellsOf(const QVariant &display)
{
    QVariantList out;
    for (const auto &[label, value] : detailCells(display.value<DisplayInfo>()))
        out.append(QVariantMap{{QStringLiteral("label"), label}, {QStringLiteral("value"), value}});
    return out;
}

QStringList TabText::modeLinesOf(const QVariant &display) { return modeLines(display.value<DisplayInfo>()); }

QString TabText::snapshotCountText(int count) { return QString::number(count) + QStringLiteral(" snap-uri"); }

QVariantMap TabText::batteryFigures(const QVariantList &snapshots)
{
    BatteryHistory::RangeSummary r;
    for (const QVariant &v : snapshots) {
        const auto s = v.value<BatterySnapshot>();
        ++r.count;
        if (s.healthPercent) {
            r.healthSum += *s.healthPercent;
            ++r.healthCount;
        }
        if (s.cycleCount) {
            if (!r.firstCycles)
                r.firstCycles = s.cycleCount;
            r.lastCycles = s.cycleCount;
        }
    }
    return batteryFiguresOfRange(r);
}

QVariantMap TabText::batteryFiguresOf(const QVariantMap &summary)
{
    BatteryHistory::RangeSummary r;
    r.count = qsizetype(summary.value(QStringLiteral("count")).toLongLong());
    r.healthCount = qsizetype(summary.value(QStringLiteral("healthCount")).toLongLong());
    r.healthSum = summary.value(QStringLiteral("healthSum")).toDouble();
    auto cycles = [&](const char *key) -> std::optional<qint64> {
        const QVariant v = summary.value(QLatin1String(key));
        return v.isNull() ? std::nullopt : std::optional<qint64>(v.toLongLong());
    };
    r.firstCycles = cycles("firstCycles");
    r.lastCycles = cycles("lastCycles");
    return batteryFiguresOfRange(r);
}

QVariantMap TabText::batteryFiguresOfRange(const BatteryHistory::RangeSummary &r)
{
    // A figure no snapshot of the range measured (no snapshot at all, a gauge without
    // capacities or cycle count) reads "—", not a 100 % health or 0 cycles.
    const QString dash = QStringLiteral("—");
    QString health = dash, delta = dash, cycles = dash;
    if (r.count > 0 && r.healthCount > 0)
        health = printfFixed(r.healthSum / double(r.healthCount), 1) + QLatin1Char('%');
    if (r.count > 0 && r.firstCycles && r.lastCycles) {
        qint64 d = 0;
        if (__builtin_sub_overflow(*r.lastCycles, *r.firstCycles, &d))
            d = 0;
        // A cycle count only grows; a smaller newest count (a swapped battery) shows as +0.
        delta = QStringLiteral("+") + QString::number(std::max<qint64>(0, d));
        cycles = QString::number(*r.lastCycles);
    }
    return {{QStringLiteral("health"), health}, {QStringLiteral("delta"), delta}, {QStringLiteral("cycles"), cycles}};
}

} // namespace corvane
