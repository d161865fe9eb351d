import QtQuick
import Corvane

// The crash-log tab; the reader and list arrive with the detail tabs.
Item {
    id: screen
    // The crash-log reader the screen owns for its life.
    property var reader: null
    // The selected report (empty for none).
    property string selection: ""

    Text {
        objectName: "header"
        anchors.centerIn: parent
        text: "Crash & loguri"
        textFormat: Text.PlainText
        font.family: "Quicksand"
        font.pixelSize: 22
        font.weight: Font.Bold
        color: Qt.rgba(1, 1, 1, 0.85)
    }
}
