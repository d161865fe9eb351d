#pragma once
// The six main-window tabs and the seven quick tests.
#include <QColor>
#include <QList>
#include <QString>

#include <optional>
#include <span>

namespace corvane {

enum class SidebarTab { live, activity, ports, tests, crashes, settings };
enum class QuickTestKind { ssd, network, cpu, gpu, pixel, speakers, ram };

namespace Tabs {
QList<SidebarTab> allCases();
QString rawValue(SidebarTab t);
std::optional<SidebarTab> fromRawValue(const QString &raw); // exact, case-sensitive
QString title(SidebarTab t);
QString systemImage(SidebarTab t);
// The accent of the current theme for the tab.
QColor accent(SidebarTab t);
} // namespace Tabs

// One quick test: the screen that runs it and how the tests hub and the dashboard offer it.
// Adding a test is a row here, its enum value and its screen.
struct QuickTestEntry {
    QuickTestKind kind;
    const char *raw;
    const char *screen;    // the QML type of its screen
    bool offered;          // among the hub's cards and the dashboard's tiles
    const char *cardTitle; // on the hub's card
    const char *tileTitle; // on the dashboard's tile
    const char *symbol;
    const char *badge;
    const char *blurb;
    const char *tone;     // a ThemeManager colour; "" for the storage pink
    const char *gradient; // an AppPalette gradient
};

namespace QuickTests {
std::span<const QuickTestEntry> table();
QList<QuickTestKind> allCases();
QString rawValue(QuickTestKind k);
std::optional<QuickTestKind> fromRawValue(const QString &raw);
} // namespace QuickTests

} // namespace corvane
