import QtQuick
import Corvane

// A title with a chevron: "right" gives chevron.right, "left" chevron.left.
Row {
    id: label

    property string title
    property string direction: "right"
    readonly property string symbol: ["chevron", direction].join(".")
    property color color: "white"
    property font font: Qt.font({ family: "Quicksand", weight: Font.DemiBold, pixelSize: 12 })

    spacing: 5

    SymbolIcon {
        symbol: label.symbol
        pointSize: label.font.pixelSize
        color: label.color
        anchors.verticalCenter: parent.verticalCenter
    }
    Text {
        text: label.title
        textFormat: Text.PlainText
        font: label.font
        color: label.color
        anchors.verticalCenter: parent.verticalCenter
    }
}
