import QtQuick
import Corvane

// The small circular gauge of the strip's pills: a track, an arc from the top clockwise and
// a whole number (or a symbol) in the middle.
Item {
    id: ring

    property real fraction: 0
    property var arcPaint: ThemeManager.accent   // a colour or an AppPalette gradient
    property color glowColor: ThemeManager.accent
    property string centreText
    property string centreSymbol
    property color symbolColor: ThemeManager.accent
    property real lineWidth: 3.5
    property real centreSize: 13
    // A ring that is drawn scaled takes its glyphs unhinted (see the strip's `hinting`).
    property int textHinting: Font.PreferDefaultHinting

    readonly property real shownFraction: isNaN(fraction) ? 0 : Math.max(0, Math.min(1, fraction))
    readonly property bool glows: GraphicsInfo.api !== GraphicsInfo.Software && GraphicsInfo.api !== GraphicsInfo.Unknown

    implicitWidth: 42
    implicitHeight: 42

    ArcStroke {
        anchors.fill: parent
        paint: Qt.rgba(1, 1, 1, 0.12)
        startAngle: 0
        endAngle: 360
        lineWidth: ring.lineWidth
        roundCap: false
    }

    ArcStroke {
        id: arc
        objectName: "ringArc"
        anchors.fill: parent
        visible: ring.shownFraction > 0
        paint: ring.arcPaint
        startAngle: -90
        endAngle: -90 + 360 * ring.shownFraction
        lineWidth: ring.lineWidth
        roundCap: true
        layer.enabled: ring.glows && visible
        layer.effect: GlowEffect {
            radius: 4
            samples: 9
            color: Qt.rgba(ring.glowColor.r, ring.glowColor.g, ring.glowColor.b, 0.7)
            transparentBorder: true
        }
    }

    Text {
        objectName: "ringCentre"
        visible: ring.centreSymbol === ""
        anchors.centerIn: parent
        text: ring.centreText
        textFormat: Text.PlainText
        font.family: "DejaVu Sans Mono"
        font.bold: true
        font.pixelSize: ring.centreSize
        font.hintingPreference: ring.textHinting
        color: "white"
    }

    SymbolIcon {
        visible: ring.centreSymbol !== ""
        anchors.centerIn: parent
        symbol: ring.centreSymbol === "" ? "bolt.fill" : ring.centreSymbol
        pointSize: ring.centreSize
        bold: true
        font.hintingPreference: ring.textHinting
        color: ring.symbolColor
    }
}
