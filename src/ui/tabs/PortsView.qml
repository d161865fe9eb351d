import QtQuick
import Corvane

// The ports and peripherals tab; its lists arrive with the detail tabs.
Item {
    id: screen
    property var appState: AppState
    property var themeManager: ThemeManager
    // The display under a pixel test (null for none).
    property var pixelTestDisplay: null

    Text {
        objectName: "header"
        anchors.centerIn: parent
        text: "Porturi & periferice"
        textFormat: Text.PlainText
        font.family: "Quicksand"
        font.pixelSize: 22
        font.weight: Font.Bold
        color: Qt.rgba(1, 1, 1, 0.85)
    }
}
