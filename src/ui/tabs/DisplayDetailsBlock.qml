import QtQuick
import QtQuick.Layouts
import Corvane

// The display's details: a two-column grid of label–value cells and its first eight modes.
ColumnLayout {
    id: block
    property var display: ({})
    readonly property var modeLines: TabText.modeLinesOf(display)
    spacing: 10

    GridLayout {
        Layout.fillWidth: true
        columns: 2
        columnSpacing: 8
        rowSpacing: 8
        Repeater {
            model: TabText.detailCellsOf(block.display)
            delegate: Rectangle {
                required property var modelData
                objectName: "cell_" + modelData.label
                Layout.fillWidth: true
                Layout.preferredWidth: 10
                implicitHeight: cellRow.implicitHeight + 12
                radius: 8
                color: Qt.rgba(1, 1, 1, 0.04)
                RowLayout {
                    id: cellRow
                    anchors.fill: parent
                    anchors.leftMargin: 10
                    anchors.rightMargin: 10
                    anchors.topMargin: 6
                    anchors.bottomMargin: 6
                    Text {
                        text: modelData.label
                        textFormat: Text.PlainText
                        font.family: "Quicksand"
                        font.pixelSize: 10
                        font.weight: Font.DemiBold
                        color: AppPalette.textSecondary
                    }
                    Item { Layout.fillWidth: true }
                    Text {
                        objectName: "cellValue"
                        Layout.maximumWidth: cellRow.width * 0.6
                        text: modelData.value
                        textFormat: Text.PlainText
                        elide: Text.ElideMiddle
                        maximumLineCount: 1
                        font.family: "DejaVu Sans Mono"
                        font.pixelSize: 11
                        font.bold: true
                        color: "white"
                    }
                }
            }
        }
    }

    Text {
        objectName: "modesHeading"
        visible: block.modeLines.length > 0
        text: "MODURI SUPORTATE (top 8)"
        textFormat: Text.PlainText
        font.family: "Quicksand"
        font.pixelSize: 9
        font.weight: Font.Black
        font.letterSpacing: 1.5
        color: AppPalette.textSecondary
    }
    Column {
        visible: block.modeLines.length > 0
        spacing: 3
        Repeater {
            model: block.modeLines
            delegate: Text {
                required property string modelData
                objectName: "modeLine"
                text: modelData
                textFormat: Text.PlainText
                font.family: "DejaVu Sans Mono"
                font.pixelSize: 10
                font.weight: Font.DemiBold
                color: Qt.rgba(1, 1, 1, 0.75)
            }
        }
    }
}
