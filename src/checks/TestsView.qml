import QtQuick
import Corvane

// The hardware tests tab; the tests arrive with the test engines.
Item {
    id: screen
    property var appState: AppState
    // The quick test being run ("" for none).
    property string active: ""

    Text {
        objectName: "header"
        anchors.centerIn: parent
        text: "Teste hardware"
        textFormat: Text.PlainText
        font.family: "Quicksand"
        font.pixelSize: 22
        font.weight: Font.Bold
        color: Qt.rgba(1, 1, 1, 0.85)
    }
}
