import QtQuick
import Corvane

// One direction of a throughput card: symbol and upper-case label over a large glowing value.
Column {
    id: block

    property string icon
    property color color: "white"
    property string label
    property string value
    readonly property bool glows: GraphicsInfo.api !== GraphicsInfo.Software && GraphicsInfo.api !== GraphicsInfo.Unknown

    spacing: 4

    Row {
        spacing: 4
        SymbolIcon {
            anchors.verticalCenter: parent.verticalCenter
            symbol: block.icon
            pointSize: 9
            bold: true
            color: block.color
        }
        Text {
            anchors.verticalCenter: parent.verticalCenter
            text: block.label.toUpperCase()
            textFormat: Text.PlainText
            font.family: "Quicksand"
            font.weight: Font.Black
            font.pixelSize: 9
            font.letterSpacing: 1.3
            color: Qt.rgba(1, 1, 1, 0.55)
        }
    }
    Text {
        objectName: "value"
        text: block.value
        textFormat: Text.PlainText
        font.family: "DejaVu Sans Mono"
        font.bold: true
        font.pixelSize: 18
        color: "white"
        style: Text.Normal
        layer.enabled: block.glows
        layer.effect: DropShadowEffect {
            color: Qt.alpha(block.color, 0.5)
            radius: 6
            samples: 13
            transparentBorder: true
        }
        GlowHalo {
            text: parent.text
            font: parent.font
            color: Qt.alpha(block.color, 0.5)
            radius: 6
            color2: Qt.alpha(block.color, 0.3)
            radius2: 2.4
        }
    }
}
