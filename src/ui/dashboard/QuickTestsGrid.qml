import QtQuick
import QtQuick.Layouts
import Corvane

// The six quick-test tiles, two a row; a tile asks for its test through `chosen`.
GridLayout {
    id: grid

    signal chosen(string kind)

    columns: 2
    columnSpacing: 8
    rowSpacing: 8

    Repeater {
        model: QuickTestTable.offered
        delegate: Rectangle {
            id: tile
            required property var modelData
            readonly property color tone: modelData.tone === "" ? Qt.rgba(1.0, 0.45, 0.70, 1) : ThemeManager[modelData.tone]
            objectName: "quickTest." + modelData.kind
            Layout.fillWidth: true
            Layout.preferredWidth: 10
            implicitHeight: row.implicitHeight + 16
            radius: 10
            color: Qt.alpha(tone, 0.1)
            border.width: 1
            border.color: Qt.alpha(tone, 0.35)

            RowLayout {
                id: row
                anchors.fill: parent
                anchors.leftMargin: 10
                anchors.rightMargin: 10
                anchors.topMargin: 8
                anchors.bottomMargin: 8
                spacing: 8
                SymbolIcon {
                    symbol: tile.modelData.symbol
                    pointSize: 13
                    bold: true
                    color: tile.tone
                }
                Text {
                    objectName: "title"
                    Layout.fillWidth: true
                    text: tile.modelData.tileTitle
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    font.family: "Quicksand"
                    font.bold: true
                    font.pixelSize: 11
                    color: "white"
                }
                SymbolIcon {
                    symbol: "chevron.right"
                    pointSize: 9
                    bold: true
                    color: Qt.rgba(1, 1, 1, 0.45)
                }
            }
            TapHandler {
                onTapped: {
                    Haptics.perform(Haptics.LevelChange)
                    grid.chosen(tile.modelData.kind)
                }
            }
        }
    }
}
