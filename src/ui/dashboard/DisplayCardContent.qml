import QtQuick
import QtQuick.Layouts
import Corvane

// "FPS / ECRAN": the frame rate, the display's nominal refresh and a meter of one against
// the other.
ColumnLayout {
    id: content

    property real fps: 0
    property real refreshHz: 0
    property bool animate: false

    spacing: 8

    Row {
        spacing: 6
        TickerLabel {
            id: ticker
            objectName: "fpsValue"
            value: content.fps
            // No frames means no display refresh to follow (none under a virtual display).
            format: (v) => v > 0 ? Fmt.fixed(v, 0) : "—"
            color: "white"
            font.family: "DejaVu Sans Mono"
            font.bold: true
            font.pixelSize: 36
        }
        Text {
            y: ticker.baselineOffset - baselineOffset
            text: "fps"
            textFormat: Text.PlainText
            font.family: "Inter"
            font.weight: Font.DemiBold
            font.pixelSize: 12
            color: AppPalette.textSecondary
        }
    }
    RowLayout {
        Layout.fillWidth: true
        Text {
            text: "Refresh nominal"
            textFormat: Text.PlainText
            font.family: "Quicksand"
            font.weight: Font.Black
            font.pixelSize: 9
            font.letterSpacing: 1.3
            color: Qt.rgba(1, 1, 1, 0.45)
        }
        Item { Layout.fillWidth: true }
        Text {
            objectName: "refreshValue"
            text: content.refreshHz > 0 ? Fmt.fixed(content.refreshHz, 0) + " Hz" : "—"
            textFormat: Text.PlainText
            font.family: "DejaVu Sans Mono"
            font.bold: true
            font.pixelSize: 11
            color: "white"
        }
    }
    DashboardLevelMeter {
        objectName: "fpsMeter"
        Layout.fillWidth: true
        level: DashboardRules.levelMeter(content.fps, content.refreshHz)
        glowColor: ThemeManager.accentSecondary
        bars: 24
        animated: content.animate
    }
}
