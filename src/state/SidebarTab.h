#pragma once
// The six main-window tabs and the seven quick tests.
#include <QColor>
#include <QList>
#include <QString>

#include <optional>

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

namespace QuickTests {
QList<QuickTestKind> allCases();
QString rawValue(QuickTestKind k);
std::optional<QuickTestKind> fromRawValue(const QString &raw);
} // namespace QuickTests

} // namespace corvane
