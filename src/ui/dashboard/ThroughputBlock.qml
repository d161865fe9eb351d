import QtQuick
import Corvane

// One direction of a throughput card: symbol and upper-case label over a large glowing value.
// Stacked by bindings rather than a Column: a positioner sizes itself while the frame is being
// prepared, and with the value's width changing each second that cost a second, empty frame.
Item {
    id: block

    property string icon
    property color color: "white"
    property string label
    property string value
    readonly property bool glows: GraphicsInfo.api !== GraphicsInfo.Software && GraphicsInfo.api !== GraphicsInfo.Unknown

    implicitWidth: Math.max(heading.width, valueText.width)
    implicitHeight: valueText.y + valueText.height

    Row {
        id: heading
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
        id: valueText
        objectName: "value"
        y: heading.height + 4
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
