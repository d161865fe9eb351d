#include "ui/surfaces/PillText.h"

#include "common/AppVersion.h"
#include "common/Numbers.h"

#include <QCoreApplication>
#include <QKeySequence>

#include <algorithm>
#include <cmath>

namespace corvane {

namespace {
const QString kGood = QStringLiteral("good");
const QString kWarning = QStringLiteral("warning");
const QString kCritical = QStringLiteral("critical");
const QString kNeutral = QStringLiteral("neutral");
const QString kDash = QStringLiteral("—");
} // namespace

QString PillText::batteryRole(double percent, bool charging)
{
    return percent < 20 && !charging ? kCritical : kGood;
}

// NaN: a figure nothing reported (most mains adapters give no power, many no rating).
QString PillText::chargerWattsText(double watts)
{
    return std::isnan(watts) ? kDash : printfFixed(watts, 1) + QStringLiteral(" W");
}

QString PillText::chargerDetailText(double percent, qint64 adapterMaxWatts)
{
    return (std::isnan(percent) ? kDash : wholeText(percent) + QStringLiteral("%")) + QStringLiteral(" · ")
        + (adapterMaxWatts > 0 ? printfInt(adapterMaxWatts) + QStringLiteral("W") : kDash) + QStringLiteral(" max");
}

QString PillText::chargerDetail(double percent, double maxWatts) const
{
    return chargerDetailText(percent, saturatingCast<qint64>(maxWatts));
}

FpsState PillText::fpsState(double fps, double refreshHz)
{
    FpsState s;
    // A display that reports no rate (0, or NaN) counts as 60 Hz.
    const double reference = std::isnan(refreshHz) ? 60.0 : std::max(refreshHz, 60.0);
    s.ratio = std::min(fps / reference, 1.0);
    if (std::isnan(s.ratio))
        s.ratio = 0;
    s.role = s.ratio > 0.85 ? kGood : s.ratio > 0.5 ? kWarning : kCritical;
    s.centre = wholeText(fps);
    // No frames counted means no display refresh to follow (no vblank source, or none yet),
    // not a display at 0 Hz: nothing to alarm about.
    if (!(fps > 0)) {
        s.ratio = 0;
        s.role = kNeutral;
        s.centre = kDash;
    }
    // A rate the display never reported is not shown as one.
    s.referenceText = refreshHz > 0 ? wholeText(reference) + QStringLiteral("Hz") : kDash;
    return s;
}

DiskState PillText::diskState(quint64 freeBytes, quint64 totalBytes, const QLocale &locale)
{
    DiskState s;
    s.ratio = totalBytes != 0 ? static_cast<double>(freeBytes) / static_cast<double>(totalBytes) : 0.0;
    s.role = s.ratio > 0.3 ? kGood : s.ratio > 0.15 ? kWarning : kCritical;
    s.centre = wholeText(s.ratio * 100);
    s.freeText = byteCountText(freeBytes, locale);
    return s;
}

ThermalState PillText::thermalState(double t)
{
    if (!std::isfinite(t))
        return {kGood, kDash, kDash, false};
    const QString text = printfFixed(t, 1) + QStringLiteral("°");
    if (t < 35)
        return {kGood, QStringLiteral("OK"), text, false};
    if (t < 42)
        return {kWarning, QStringLiteral("WARM"), text, false};
    return {kCritical, QStringLiteral("HOT"), text, true};
}

ThermalState PillText::thermalState(double celsius, bool hasBattery)
{
    // NaN: the battery reports no temperature.
    if (!hasBattery || !std::isfinite(celsius))
        return {QString(), QString(), kDash, false};
    return thermalState(celsius);
}

QString PillText::temperatureText(double celsius)
{
    if (!(celsius > 0) || !std::isfinite(celsius))
        return kDash;
    return printfFixed(celsius, 0) + QStringLiteral("°");
}

QString PillText::temperatureRole(double celsius)
{
    // Same steps as the shared temperature colour: NaN reads as critical there too.
    if (celsius < 55)
        return kGood;
    if (celsius < 80)
        return kWarning;
    return kCritical;
}

QList<FanColumn> PillText::fanColumns(const QList<SMCFanReading> &fans)
{
    QList<FanColumn> out;
    const bool pair = fans.size() == 2;
    for (const SMCFanReading &f : fans) {
        FanColumn c;
        c.index = f.index;
        if (std::isnan(f.rpm)) {
            c.value = kDash;
            c.off = true;
        } else if (f.rpm < 1) {
            c.value = QStringLiteral("oprit");
            c.off = true;
        } else {
            c.value = wholeText(f.rpm);
        }
        c.caption = pair ? (f.index == 0 ? QStringLiteral("STÂNGA") : QStringLiteral("DREAPTA"))
                         : QStringLiteral("RPM");
        out.append(c);
    }
    return out;
}

qint64 PillText::barPercent(double fraction)
{
    return saturatingCast<qint64>(fraction * 100);
}

double PillText::barFill(qint64 percent)
{
    return std::clamp(static_cast<double>(percent) / 100.0, 0.0, 1.0);
}

QString PillText::versionNumber(const QString &applicationVersion)
{
    return applicationVersion.isEmpty() ? appVersion() : applicationVersion;
}

QString PillText::versionText(const QString &applicationVersion)
{
    return QStringLiteral("v") + versionNumber(applicationVersion);
}

QVariantMap PillText::fps(double fps, double refreshHz) const
{
    const FpsState s = fpsState(fps, refreshHz);
    return {{"ratio", s.ratio}, {"role", s.role}, {"centre", s.centre}, {"referenceText", s.referenceText}};
}

QVariantMap PillText::disk(double freeBytes, double totalBytes) const
{
    const DiskState s = diskState(saturatingCast<quint64>(freeBytes), saturatingCast<quint64>(totalBytes));
    return {{"ratio", s.ratio}, {"role", s.role}, {"centre", s.centre}, {"freeText", s.freeText}};
}

QVariantMap PillText::thermal(double celsius, bool hasBattery) const
{
    const ThermalState s = thermalState(celsius, hasBattery);
    return {{"role", s.role}, {"word", s.word}, {"valueText", s.valueText}, {"circle", s.circle}};
}

QVariantList PillText::fans(const QVariantList &readings) const
{
    QList<SMCFanReading> list;
    for (const QVariant &v : readings)
        if (v.canConvert<SMCFanReading>())
            list.append(v.value<SMCFanReading>());
    QVariantList out;
    for (const FanColumn &c : fanColumns(list))
        out.append(QVariantMap{{"index", c.index}, {"value", c.value}, {"off", c.off}, {"caption", c.caption}});
    return out;
}

QString PillText::shortcut(const QString &portable) const
{
    return QKeySequence(portable, QKeySequence::PortableText).toString(QKeySequence::NativeText);
}

QString PillText::version() const
{
    return versionText(QCoreApplication::applicationVersion());
}

QString PillText::number() const
{
    return versionNumber(QCoreApplication::applicationVersion());
}

} // namespace corvane
