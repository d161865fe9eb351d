import QtQuick
import Corvane

// The live dashboard; its cards arrive with the dashboard itself.
Item {
    id: screen
    // The hub; named appState because Item already has a state.
    property var appState: AppState
    // The quick test whose sheet is open ("" for none).
    property string activeQuickTest: ""

    // A quick test asked for at launch opens once: take it and clear the request.
    function takePendingQuickTest() {
        if (appState && appState.pendingQuickTest !== "") {
            activeQuickTest = appState.pendingQuickTest
            appState.pendingQuickTest = ""
        }
    }
    Component.onCompleted: takePendingQuickTest()
    Connections {
        target: screen.appState
        function onPendingQuickTestChanged() { screen.takePendingQuickTest() }
    }

    Text {
        objectName: "header"
        anchors.centerIn: parent
        text: "Dashboard live"
        textFormat: Text.PlainText
        font.family: "Quicksand"
        font.pixelSize: 22
        font.weight: Font.Bold
        color: Qt.rgba(1, 1, 1, 0.85)
    }
}
