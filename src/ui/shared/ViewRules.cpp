#include "ui/shared/ViewRules.h"

#include "common/Numbers.h"

#include <QKeySequence>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace corvane::ViewRules {

double snapBarHeight(double h)
{
    const double usable = BarModeSettings::usableHeight(h);
    return kBarHeightMin + std::round((usable - kBarHeightMin) / kBarHeightStep) * kBarHeightStep;
}

QString barHeightLabel(double h)
{
    // Only values a whole number can hold are shown; the slider covers far less anyway.
    const auto whole = checkedCast<long long>(h);
    return (whole ? printfInt(*whole) : QStringLiteral("—")) + QStringLiteral(" pt");
}

double clampRefreshRate(double v)
{
    return std::isnan(v) ? kRefreshRateDefault : std::clamp(v, kRefreshRateMin, kRefreshRateMax);
}

double clampIntensity(double v)
{
    return std::isnan(v) ? kIntensityDefault : std::clamp(v, kIntensityMin, kIntensityMax);
}

int onboardingStep(int step, int delta)
{
    const int d = std::clamp(delta, -1, 1);
    return std::clamp(step + d, 0, kOnboardingPages - 1);
}

QString clockFormat(const QString &fmt)
{
    if (fmt.contains(QLatin1Char('s')))
        return fmt;
    // Seconds go right after the minutes, with the separator the locale puts before them.
    static const QRegularExpression minutes(QStringLiteral("([^hHm\\s]*)(m{1,2})"));
    QRegularExpressionMatch last;
    for (auto it = minutes.globalMatch(fmt); it.hasNext();)
        last = it.next();
    if (!last.hasMatch())
        return fmt + QStringLiteral(":ss");
    const QString sep = last.captured(1).isEmpty() ? QStringLiteral(":") : last.captured(1);
    QString out = fmt;
    out.insert(last.capturedEnd(2), sep + QStringLiteral("ss"));
    return out;
}

QString shortcutText(const QString &portableSequence, bool spaced)
{
    QString text = QKeySequence(portableSequence, QKeySequence::PortableText).toString(QKeySequence::NativeText);
    if (spaced)
        text.replace(QLatin1Char('+'), QStringLiteral(" + "));
    return text;
}

} // namespace corvane::ViewRules
