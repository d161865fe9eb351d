import QtQuick
import QtQuick.Layouts
import Corvane

// One figure of a stress screen's tiles row: a caption over a monospaced value.
Rectangle {
    id: tile
    property string label
    property string value
    property color valueColor: "white"
    property int valueSize: 15

    Layout.fillWidth: true
    Layout.preferredWidth: 10
    implicitHeight: column.implicitHeight + 20
    radius: 10
    color: Qt.rgba(1, 1, 1, 0.05)
    border.width: 1
    border.color: Qt.rgba(1, 1, 1, 0.1)

    Column {
        id: column
        anchors.fill: parent
        anchors.margins: 10
        spacing: 2
        Text {
            text: tile.label
            textFormat: Text.PlainText
            font.family: "Quicksand"
            font.pixelSize: 9
            font.weight: Font.Black
            font.letterSpacing: 1.5
            color: Qt.rgba(1, 1, 1, 0.5)
        }
        Text {
            objectName: "tileValue"
            width: parent.width
            text: tile.value
            textFormat: Text.PlainText
            elide: Text.ElideRight
            maximumLineCount: 1
            font.family: "DejaVu Sans Mono"
            font.pixelSize: tile.valueSize
            font.bold: true
            color: tile.valueColor
        }
    }
}
