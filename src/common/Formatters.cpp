#include "common/Formatters.h"
#include "common/Numbers.h"

#include <algorithm>
#include <cmath>

namespace corvane {

namespace {
const QString kDash = QStringLiteral("—");

// Romanian counts 1 "octet", 0 and 2–19 (also past each hundred) "octeți", the rest "de octeți".
QString romanianBytes(qint64 n, const QLocale &locale)
{
    const QString number = locale.toString(n);
    if (n == 1)
        return number + QStringLiteral(" octet");
    const qint64 rest = n % 100;
    if (n == 0 || (rest >= 1 && rest <= 19))
        return number + QStringLiteral(" octeți");
    return number + QStringLiteral(" de octeți");
}
} // namespace

QString wholeText(double value)
{
    if (const auto v = checkedCast<long long>(value))
        return printfInt(*v);
    if (std::isfinite(value)) // beyond 64 bits: the nearest representable end
        return printfInt(saturatingCast<long long>(value));
    return kDash;
}

QString byteCountText(uint64_t bytes, const QLocale &locale)
{
    static const char *const units[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    const qint64 n = static_cast<qint64>(std::min<uint64_t>(bytes, INT64_MAX));
    if (n < 1000) {
        if (locale.language() == QLocale::Romanian)
            return romanianBytes(n, locale);
        if (locale.language() == QLocale::C || locale.language() == QLocale::English)
            return locale.toString(n) + (n == 1 ? QStringLiteral(" byte") : QStringLiteral(" bytes"));
        return locale.formattedDataSize(n, 0, QLocale::DataSizeSIFormat); // the locale's own byte word
    }
    int power = 0;
    double scale = 1;
    for (qint64 rest = n; rest >= 1000 && power < 6; rest /= 1000) {
        ++power;
        scale *= 1000;
    }
    double tenths = std::round(static_cast<double>(n) / scale * 10);
    if (tenths >= 10000 && power < 6) { // 999.96 KB reads as 1 MB, not 1000 KB
        ++power;
        scale *= 1000;
        tenths = std::round(static_cast<double>(n) / scale * 10);
    }
    const QString number = std::fmod(tenths, 10) == 0 ? locale.toString(static_cast<qint64>(tenths / 10))
                                                        : locale.toString(tenths / 10, 'f', 1);
    return number + u' ' + QLatin1String(units[power - 1]);
}

QString bitRateText(uint64_t bytesPerSecond)
{
    static const char *const units[] = {"bps", "Kbps", "Mbps", "Gbps"};
    double v = static_cast<double>(bytesPerSecond) * 8.0;
    int i = 0;
    while (i < 3 && v >= 1000.0) {
        v /= 1000.0;
        ++i;
    }
    return printfFixed(v, 1) + u' ' + QLatin1String(units[i]);
}

QString byteRateText(uint64_t bytesPerSecond)
{
    static const char *const units[] = {"B/s", "KB/s", "MB/s", "GB/s"};
    double v;
    int i = 0;
    if (bytesPerSecond < 1024) {
        v = static_cast<double>(bytesPerSecond);
    } else {
        v = static_cast<double>(bytesPerSecond) * 0.0009765625;
        i = 1;
        while (i < 3 && v >= 1024.0) {
            v *= 0.0009765625;
            ++i;
        }
    }
    return printfFixed(v, 1) + u' ' + QLatin1String(units[i]);
}

namespace {
struct Span {
    long long days, hours, minutes;
};
// Whole days, hours of the day and minutes of the hour; negative and NaN count as 0.
Span span(double seconds)
{
    const long long s = std::max<long long>(0, saturatingCast<long long>(seconds));
    return {s / 86400, (s % 86400) / 3600, (s % 3600) / 60};
}
} // namespace

QString uptimeString(double seconds)
{
    const Span t = span(seconds);
    if (t.days == 0 && t.hours == 0)
        return QStringLiteral("%1m").arg(t.minutes);
    if (t.days == 0)
        return QStringLiteral("%1h %2m").arg(t.hours).arg(t.minutes);
    return QStringLiteral("%1z %2h").arg(t.days).arg(t.hours);
}

QString dashboardUptimeText(double seconds)
{
    const Span t = span(seconds);
    if (t.days == 0)
        return QStringLiteral("%1h %2m").arg(t.hours).arg(t.minutes);
    return QStringLiteral("%1z %2h %3m").arg(t.days).arg(t.hours).arg(t.minutes);
}

QString uptimeText(double seconds)
{
    const Span t = span(seconds);
    return QStringLiteral("%1z %2h %3m").arg(t.days).arg(t.hours).arg(t.minutes);
}

QString clockTime(const QDateTime &at, const QLocale &locale)
{
    QString format = locale.timeFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1Char('s'))) {
        const qsizetype m = format.lastIndexOf(QLatin1Char('m'));
        if (m >= 0)
            format.insert(m + 1, QStringLiteral(":ss"));
        else
            format += QStringLiteral(":ss");
    }
    return locale.toString(at.toLocalTime(), format);
}

namespace {
// Month-first locales (en_US) put the month before the day, as their short date does.
bool monthFirst(const QLocale &locale)
{
    const QString shortDate = locale.dateFormat(QLocale::ShortFormat);
    const qsizetype month = shortDate.indexOf(QLatin1Char('M'));
    const qsizetype day = shortDate.indexOf(QLatin1Char('d'));
    return month >= 0 && day >= 0 && month < day;
}
} // namespace

QString clockDate(const QDateTime &at, const QLocale &locale)
{
    const QString format = monthFirst(locale) ? QStringLiteral("ddd, MMM d") : QStringLiteral("ddd d MMM");
    return locale.toString(at.toLocalTime().date(), format);
}

QString dashboardClockDate(const QDateTime &at, const QLocale &locale)
{
    const QString format = monthFirst(locale) ? QStringLiteral("dddd, MMMM d") : QStringLiteral("dddd, d MMMM");
    return locale.toString(at.toLocalTime().date(), format);
}

} // namespace corvane
