import QtQuick
import QtQuick.Layouts
import Corvane

// A metric tile's content: load ring beside two text lines over a sparkline scaled to 1.
RowLayout {
    id: tile

    property real fraction: 0
    // No figure behind the ring (no GPU): it rests empty and its number reads "—".
    property bool measured: true
    property var gradient: AppPalette.cpuGradient
    property color tone: ThemeManager.accent
    property string subText
    property var samples: []
    property bool shimmer: false
    // The two lines: text, size, weight, colour and spacing of each.
    property string firstText
    property int firstSize: 13
    property int firstWeight: Font.Bold
    property color firstColor: "white"
    property real firstTracking: 0
    property string firstFamily: "Quicksand"
    property string secondText
    property int secondSize: 10
    property int secondWeight: Font.Normal
    property color secondColor: AppPalette.textSecondary
    property string secondFamily: "Inter"

    spacing: 14

    AnimatedRing {
        objectName: "ring"
        Layout.preferredWidth: 92
        Layout.preferredHeight: 92
        value: tile.fraction
        gradient: tile.gradient
        glowColor: tile.tone
        centerText: tile.measured ? Fmt.fixed(tile.fraction * 100, 0) + "%" : "—"
        centerValue: tile.fraction * 100
        centerFormat: (v) => tile.measured ? Fmt.fixed(v, 0) + "%" : "—"
        subText: tile.subText
        lineWidth: 12
        showShimmer: tile.shimmer
        animated: tile.shimmer
        tickCount: 60
    }

    ColumnLayout {
        Layout.fillWidth: true
        Layout.alignment: Qt.AlignVCenter
        spacing: 4
        Text {
            objectName: "firstLine"
            Layout.fillWidth: true
            text: tile.firstText
            textFormat: Text.PlainText
            elide: Text.ElideRight
            maximumLineCount: 1
            font.family: tile.firstFamily
            font.pixelSize: tile.firstSize
            font.weight: tile.firstWeight
            font.letterSpacing: tile.firstTracking
            color: tile.firstColor
        }
        Text {
            objectName: "secondLine"
            Layout.fillWidth: true
            text: tile.secondText
            textFormat: Text.PlainText
            elide: Text.ElideRight
            maximumLineCount: 1
            font.family: tile.secondFamily
            font.pixelSize: tile.secondSize
            font.weight: tile.secondWeight
            color: tile.secondColor
        }
        Sparkline {
            Layout.fillWidth: true
            Layout.preferredHeight: 30
            samples: tile.samples
            gradient: tile.gradient
            glowColor: tile.tone
            normalizedMax: 1.0
            showPulse: tile.shimmer
            showGrid: true
        }
    }
}
