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

namespace {
// In the enum's order.
constexpr QuickTestEntry kTable[] = {
    {QuickTestKind::ssd, "ssd", "SSDSpeedTestView", true, "SSD SPEED", "SSD Speed", "internaldrive", "READ + WRITE",
     "Test real de scriere și citire pe SSD-ul intern, în blocuri de 64 MB, cu două gauge-uri live.", "",
     "diskGradient"},
    {QuickTestKind::network, "network", "NetworkSpeedTestView", true, "NETWORK SPEED", "Network", "wifi",
     "Mbps · ping", "Speedtest internet via Cloudflare. Download 100 MB, upload 25 MB, latency.", "accent",
     "cpuGradient"},
    {QuickTestKind::cpu, "cpu", "CPUStressTestView", true, "CPU STRESS", "CPU Stress", "cpu", "SHA-256",
     "Soak test pe toate core-urile. Vezi cum reacționează termalul și throttling-ul.", "accent", "cpuGradient"},
    {QuickTestKind::gpu, "gpu", "GPUStressTestView", true, "GPU STRESS", "GPU Stress", "rectangle.on.rectangle.angled",
     "render loop", "Render loop intens cu zeci de blob-uri gradient. Urmărește FPS și utilizare GPU.", "warning",
     "gpuGradient"},
    {QuickTestKind::pixel, "pixel", "PixelTestView", true, "DISPLAY", "Display", "rectangle.checkered", "pixeli morți",
     "Sweep fullscreen prin 9 culori + grid pixeli pentru identificare clusters.", "accentSecondary",
     "displayGradient"},
    {QuickTestKind::speakers, "speakers", "SpeakerTestView", true, "BOXE", "Boxe", "speaker.wave.3.fill",
     "stereo + waveform", "Generator tonuri 80–8000 Hz pe canale L/R/ambele, cu waveform live.", "good",
     "ramGradient"},
    {QuickTestKind::ram, "ram", "RAMInfoView", false, "", "", "", "", "", "", ""},
};
} // namespace

std::span<const QuickTestEntry> table() { return kTable; }

QList<QuickTestKind> allCases()
{
    QList<QuickTestKind> out;
    for (const QuickTestEntry &e : kTable)
        out << e.kind;
    return out;
}

QString rawValue(QuickTestKind k)
{
    for (const QuickTestEntry &e : kTable)
        if (e.kind == k)
            return QString::fromLatin1(e.raw);
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
