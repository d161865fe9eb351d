#include "checks/CheckRules.h"

#include "checks/NetworkSpeedTester.h"
#include "checks/SSDSpeedTester.h"
#include "checks/ToneGenerator.h"

#include <cmath>

namespace corvane {

int PixelRules::screenIndexFor(const QStringList &screenNames, const QString &outputName)
{
    return outputName.isEmpty() ? -1 : int(screenNames.indexOf(outputName));
}

QList<double> PixelRules::gridLines(double extent, double spacing)
{
    QList<double> out;
    if (!std::isfinite(extent) || !(spacing > 0))
        return out;
    for (int i = 0; double(i) * spacing <= extent; ++i)
        out << double(i) * spacing;
    return out;
}

double CheckRules::ssdGaugeMax(double r, double w) const { return SSDRules::gaugeMax(r, w); }
QString CheckRules::ssdVerdict(double r, double w) const { return SSDRules::verdict(r, w); }
QString CheckRules::ssdVerdictRole(double r, double w) const { return SSDRules::verdictRole(r, w); }
double CheckRules::speedGaugeMax(double d, double u) const { return SpeedRules::gaugeMax(d, u); }
QString CheckRules::speedVerdict(double d) const { return SpeedRules::verdict(d); }
QString CheckRules::speedVerdictRole(double d) const { return SpeedRules::verdictRole(d); }
QString CheckRules::jitterText(const QList<double> &h) const { return SpeedRules::jitterText(h); }
QString CheckRules::noteName(double f) const { return ToneRules::noteName(f); }
bool CheckRules::barLit(double level, int index, int bars) const { return ToneRules::barLit(level, index, bars); }
QString CheckRules::barRole(int index, int bars) const { return ToneRules::barRole(index, bars); }

int CheckRules::screenIndexFor(const QStringList &names, const QString &output) const
{
    return PixelRules::screenIndexFor(names, output);
}

QVariantList CheckRules::gridLines(double extent) const
{
    QVariantList out;
    for (double x : PixelRules::gridLines(extent))
        out << x;
    return out;
}

} // namespace corvane
