#include "ui/shared/Formatters.h"
#include "common/Numbers.h"
#include "state/ThemeManager.h"

namespace corvane {

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

QColor temperatureColor(double celsius)
{
    const AppTheme t = ThemeManager::current();
    if (celsius < 55.0)
        return Themes::good(t);
    if (celsius < 80.0)
        return Themes::warning(t);
    return Themes::critical(t); // also NaN
}

} // namespace corvane
