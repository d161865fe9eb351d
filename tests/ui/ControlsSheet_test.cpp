// Renders the shared controls side by side to a PNG for a visual check.
#include "support/QmlTestUtil.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <gtest/gtest.h>

TEST(ControlsSheet, RendersToPng)
{
    corvane::test::QmlHarness h;
    h.engine().addImportPath(QStringLiteral("qrc:/")); // the module's qmldir lives at :/Corvane
    auto obj = h.create(R"qml(
        import QtQuick
        import QtQuick.Window
        import Corvane
        Window {
            width: 900; height: 620; visible: true
            color: AppPalette.background
            Grid {
                x: 20; y: 20; columns: 3; spacing: 24
                Column {
                    spacing: 10
                    Row { spacing: 10
                        HapticButton { text: "Pornește testul"; color: ThemeManager.accent }
                        HapticButton { text: "Compact"; compact: true; color: ThemeManager.warning }
                    }
                    HapticButton { text: "Înapoi"; symbol: "chevron.left"; color: ThemeManager.good }
                    BackChevronLabel {}
                    ChevronLabel { title: "Continuă"; direction: "right" }
                    ShimmerText { text: "CORVANE MONITOR"; font.family: "Quicksand"; font.pixelSize: 22; font.bold: true
                                  baseColor: Qt.rgba(1,1,1,0.55); highlightColor: ThemeManager.accent }
                    VisualEffectBlur { width: 200; height: 30; forceDark: true }
                }
                Column {
                    spacing: 8; width: 260
                    ProgressBarRow { width: 260; value: 0.5; label: "Presiune memorie"; trailing: "50%"; color: ThemeManager.accent }
                    ProgressBarRow { width: 260; value: 1.7; label: "disc"; trailing: "Plin"; color: ThemeManager.warning }
                    ProgressBarRow { width: 260; value: -0.2; label: "gol"; trailing: "0 B"; color: ThemeManager.good }
                    USBRow { width: 260; device: ({ name: "USB Receiver", vendor: "Logitech", portSpeed: "Full (12 Mb/s)", powerMilliAmps: 98, isBuiltIn: false }) }
                    USBRow { width: 260; device: ({ name: "Hub intern", portSpeed: "High (480 Mb/s)", powerMilliAmps: 0, isBuiltIn: true }) }
                    USBRow { width: 260; device: ({ name: "Cameră", vendor: "", portSpeed: "—", powerMilliAmps: 500, isBuiltIn: false }) }
                }
                ParallaxLogo { objectName: "logo"; size: 120 }
                Sparkline { width: 240; height: 80; samples: [0.2, 0.5, 0.3, 0.8, 0.6, 0.9, 0.4, 0.7]; showGrid: true; showPulse: true }
                SpeedometerGauge { width: 240; height: 240; value: 42; maxValue: 100; unit: "Mbps"; label: "DOWNLOAD" }
                Column {
                    spacing: 12
                    AnimatedRing { width: 150; height: 150; value: 0.72; centerValue: 72; subText: "CPU"; showShimmer: true
                                   gradient: AppPalette.cpuGradient; glowColor: ThemeManager.accent }
                    Row { spacing: 12
                        CASweepArc { width: 40; height: 40; color: ThemeManager.accent; lineWidth: 4; trim: 0.25 }
                        CAPulseRings { width: 40; height: 40; color: ThemeManager.good; lineWidth: 1.5 }
                        CABlinkDot { width: 12; height: 12; color: ThemeManager.critical }
                        CARotatingImage { width: 40; height: 40; imageName: "VexelMark" }
                    }
                }
            }
        }
    )qml");
    ASSERT_TRUE(obj) << h.warnings().join('\n').toStdString();
    auto *window = qobject_cast<QQuickWindow *>(obj.get());
    ASSERT_TRUE(window);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    // Hover near the logo's top-left corner so the sheet shows the tilt and the light spot.
    auto *logo = obj->findChild<QQuickItem *>(QStringLiteral("logo"));
    ASSERT_TRUE(logo);
    const QPointF corner = logo->mapToScene(QPointF(12, 12));
    QTest::mouseMove(window, (corner - QPointF(20, 20)).toPoint());
    QTest::mouseMove(window, corner.toPoint());
    logo->setProperty("pointer", QPointF(12, 12)); // offscreen windows may not deliver hover
    QTest::qWait(700); // let the logo's spring settle
    const QImage image = window->grabWindow();
    ASSERT_FALSE(image.isNull());
    const QString path = QStringLiteral(CORVANE_BINARY_DIR "/controls-sheet.png");
    EXPECT_TRUE(image.save(path));
    EXPECT_TRUE(h.warnings().isEmpty()) << h.warnings().join('\n').toStdString();
}
