#include "state/SidebarTab.h"
#include "state/ThemeManager.h"

namespace corvane {

namespace Tabs {

QList<SidebarTab> allCases()
{
    return {SidebarTab::live, SidebarTab::activity, SidebarTab::ports, SidebarTab::tests, SidebarTab::crashes,
            SidebarTab::settings};
}

QString rawValue(SidebarTab t)
{
    switch (t) {
    case SidebarTab::live: return QStringLiteral("live");
    case SidebarTab::activity: return QStringLiteral("activity");
    case SidebarTab::ports: return QStringLiteral("ports");
    case SidebarTab::tests: return QStringLiteral("tests");
    case SidebarTab::crashes: return QStringLiteral("crashes");
    case SidebarTab::settings: return QStringLiteral("settings");
    }
    return {};
}

std::optional<SidebarTab> fromRawValue(const QString &raw)
{
    for (SidebarTab t : allCases())
        if (rawValue(t) == raw)
            return t;
    return std::nullopt;
}

QString title(SidebarTab t)
{
    switch (t) {
    case SidebarTab::live: return QStringLiteral("Dashboard live");
    case SidebarTab::activity: return QStringLiteral("Activitate & procese");
    case SidebarTab::ports: return QStringLiteral("Porturi & periferice");
    case SidebarTab::tests: return QStringLiteral("Teste hardware");
    case SidebarTab::crashes: return QStringLiteral("Crash & loguri");
    case SidebarTab::settings: return QStringLiteral("Setări");
    }
    return {};
}

QString systemImage(SidebarTab t)
{
    switch (t) {
    case SidebarTab::live: return QStringLiteral("waveform.path.ecg.rectangle");
    case SidebarTab::activity: return QStringLiteral("list.bullet.rectangle.portrait");
    case SidebarTab::ports: return QStringLiteral("cable.connector.horizontal");
    case SidebarTab::tests: return QStringLiteral("checkmark.seal");
    case SidebarTab::crashes: return QStringLiteral("exclamationmark.triangle");
    case SidebarTab::settings: return QStringLiteral("slider.horizontal.3");
    }
    return {};
}

QColor accent(SidebarTab t)
{
    const AppTheme theme = ThemeManager::current();
    switch (t) {
    case SidebarTab::live: return Themes::accent(theme);
    case SidebarTab::activity: return Themes::warning(theme);
    case SidebarTab::ports: {
        QColor c = Themes::accentSecondary(theme);
        c.setAlphaF(0.85f);
        return c;
    }
    case SidebarTab::tests: return Themes::good(theme);
    case SidebarTab::crashes: return Themes::critical(theme);
    case SidebarTab::settings: return Themes::accentSecondary(theme);
    }
    return {};
}

} // namespace Tabs

namespace QuickTests {

QList<QuickTestKind> allCases()
{
    return {QuickTestKind::ssd, QuickTestKind::network, QuickTestKind::cpu, QuickTestKind::gpu,
            QuickTestKind::pixel, QuickTestKind::speakers, QuickTestKind::ram};
}

QString rawValue(QuickTestKind k)
{
    switch (k) {
    case QuickTestKind::ssd: return QStringLiteral("ssd");
    case QuickTestKind::network: return QStringLiteral("network");
    case QuickTestKind::cpu: return QStringLiteral("cpu");
    case QuickTestKind::gpu: return QStringLiteral("gpu");
    case QuickTestKind::pixel: return QStringLiteral("pixel");
    case QuickTestKind::speakers: return QStringLiteral("speakers");
    case QuickTestKind::ram: return QStringLiteral("ram");
    }
    return {};
}

std::optional<QuickTestKind> fromRawValue(const QString &raw)
{
    for (QuickTestKind k : allCases())
        if (rawValue(k) == raw)
            return k;
    return std::nullopt;
}

} // namespace QuickTests

} // namespace corvane
