import QtQuick
import Corvane

// The activity tab; the process list arrives with the detail tabs.
Item {
    id: screen
    property var appState: AppState
    property var notifier: PrivacyNotifier
    property var themeManager: ThemeManager
    // The process waiting for a kill confirmation (null for none).
    property var pendingKill: null
    property bool killForce: false
    property string killError: ""

    Text {
        objectName: "header"
        anchors.centerIn: parent
        text: "Activitate & procese"
        textFormat: Text.PlainText
        font.family: "Quicksand"
        font.pixelSize: 22
        font.weight: Font.Bold
        color: Qt.rgba(1, 1, 1, 0.85)
    }
}
