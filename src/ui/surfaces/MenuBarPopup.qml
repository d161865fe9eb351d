import QtQuick
import Corvane

// Summary and actions behind the tray icon.
Rectangle {
    id: root
    radius: 16
    color: Qt.rgba(0.03, 0.04, 0.07, 0.95)
    border.color: AppPalette.cardStroke

    Column {
        anchors.fill: parent
        anchors.margins: 16
        spacing: 8
        Text { text: "CORVANE"; color: ThemeManager.accent; font.pixelSize: 14; font.bold: true }
        Text { text: "CPU " + Fmt.fixed(AppState.system.cpuUsage * 100, 0) + "%"; color: "white"; font.pixelSize: 13 }
        Text { text: "RAM " + Fmt.fixed(AppState.system.ramPressure * 100, 0) + "%"; color: "white"; font.pixelSize: 13 }
    }
}
