#include "ui/shared/SettingsStore.h"

#include "state/ThemeManager.h"
#include "ui/shared/ViewRules.h"
#include "ui/shared/WallTime.h"

#include <QLocale>
#include <QTime>

namespace corvane {

SettingsStore::SettingsStore(QObject *parent) : QObject(parent) {}

double SettingsStore::refreshRate() const
{
    return ViewRules::clampRefreshRate(m_settings.readDouble(kRefreshRateKey, ViewRules::kRefreshRateDefault));
}

void SettingsStore::setRefreshRate(double seconds)
{
    const double v = ViewRules::clampRefreshRate(seconds);
    const bool changed = v != refreshRate();
    m_settings.write(kRefreshRateKey, v);
    if (changed)
        emit refreshRateChanged();
}

double SettingsStore::bgIntensity() const
{
    return ViewRules::clampIntensity(m_settings.readDouble(kBgIntensityKey, ViewRules::kIntensityDefault));
}

void SettingsStore::setBgIntensity(double v)
{
    const double c = ViewRules::clampIntensity(v);
    const bool changed = c != bgIntensity();
    m_settings.write(kBgIntensityKey, c);
    if (changed)
        emit bgIntensityChanged();
}

bool SettingsStore::showParticles() const { return m_settings.readBool(kShowParticlesKey, true); }

void SettingsStore::setShowParticles(bool on)
{
    const bool changed = on != showParticles();
    m_settings.write(kShowParticlesKey, on);
    if (changed)
        emit showParticlesChanged();
}

bool SettingsStore::didFinishOnboarding() const { return m_settings.readBool(kDidFinishOnboardingKey, false); }

void SettingsStore::setDidFinishOnboarding(bool done)
{
    const bool changed = done != didFinishOnboarding();
    m_settings.write(kDidFinishOnboardingKey, done);
    if (changed)
        emit didFinishOnboardingChanged();
}

double SettingsStore::barHeightMin() const { return ViewRules::kBarHeightMin; }
double SettingsStore::barHeightMax() const { return ViewRules::kBarHeightMax; }
double SettingsStore::barHeightStep() const { return ViewRules::kBarHeightStep; }

QStringList SettingsStore::themes() const
{
    QStringList out;
    for (AppTheme t : Themes::allCases())
        out << Themes::rawValue(t);
    return out;
}

QString SettingsStore::themeTitle(const QString &raw) const
{
    const auto t = Themes::fromRawValue(raw);
    return t ? Themes::title(*t) : QString();
}

QVariantList SettingsStore::themeSwatches(const QString &raw) const
{
    const auto t = Themes::fromRawValue(raw);
    if (!t)
        return {};
    return {Themes::accent(*t), Themes::good(*t), Themes::warning(*t), Themes::critical(*t),
            Themes::accentSecondary(*t)};
}

QColor SettingsStore::themeAccent(const QString &raw) const
{
    const auto t = Themes::fromRawValue(raw);
    return t ? Themes::accent(*t) : QColor(Qt::white);
}

double SettingsStore::snapBarHeight(double h) const { return ViewRules::snapBarHeight(h); }
QString SettingsStore::barHeightLabel(double h) const { return ViewRules::barHeightLabel(h); }
int SettingsStore::onboardingStep(int step, int delta) const { return ViewRules::onboardingStep(step, delta); }

QString SettingsStore::clockText() const
{
    const QLocale locale;
    return locale.toString(WallTime::current().time(), ViewRules::clockFormat(locale.timeFormat(QLocale::ShortFormat)));
}

QString SettingsStore::shortcutText(const QString &portableSequence, bool spaced) const
{
    return ViewRules::shortcutText(portableSequence, spaced);
}

} // namespace corvane
