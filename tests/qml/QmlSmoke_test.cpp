// Shared QML singletons are reachable from the Corvane module without warnings.
#include "support/QmlTestUtil.h"

#include <gtest/gtest.h>

TEST(QmlSmoke, PaletteAndThemeSingletons)
{
    corvane::test::QmlHarness h;
    auto obj = h.create(R"(
        import QtQuick
        import Corvane
        Item {
            property color from: AppPalette.cpuGradient.from
            property real endX: AppPalette.cpuGradient.end.x
            property int bgCount: AppPalette.backgroundColors.length
            property color accent: ThemeManager.accent
            property string rate: Fmt.bitRate(125)
        }
    )");
    ASSERT_TRUE(obj);
    EXPECT_EQ(obj->property("from").value<QColor>(), corvane::Palette::cpuGradient().from);
    EXPECT_EQ(obj->property("endX").toDouble(), 1.0);
    EXPECT_EQ(obj->property("bgCount").toInt(), 5);
    EXPECT_EQ(obj->property("rate").toString(), QStringLiteral("1.0 Kbps"));
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}
