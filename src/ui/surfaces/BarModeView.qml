import QtQuick
import Corvane

// The strip of pills along the screen edge.
Item {
    id: root

    Rectangle {
        anchors.fill: parent
        anchors.margins: 8
        radius: 18
        color: Qt.rgba(0.03, 0.04, 0.07, 0.85)
        border.color: AppPalette.cardStroke
        border.width: 1

        Row {
            anchors.centerIn: parent
            spacing: 24
            Text {
                text: "CPU " + Fmt.fixed(AppState.system.cpuUsage * 100, 0) + "%"
                color: "white"; font.pixelSize: 18; font.bold: true
            }
            Text {
                text: "RAM " + Fmt.fixed(AppState.system.ramPressure * 100, 0) + "%"
                color: "white"; font.pixelSize: 18; font.bold: true
            }
            Text {
                text: "↓ " + Fmt.bitRate(AppState.network.downloadBytesPerSec)
                color: "white"; font.pixelSize: 18
            }
        }
    }
}
