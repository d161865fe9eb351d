import QtQuick
import Corvane

// The small red "REC" badge with a blinking dot.
Rectangle {
    id: rec
    implicitWidth: row.implicitWidth + 8
    implicitHeight: row.implicitHeight + 2
    radius: height / 2
    color: Qt.rgba(1, 0.23, 0.19, 0.15)

    Row {
        id: row
        anchors.centerIn: parent
        spacing: 3
        CABlinkDot {
            objectName: "recDot"
            width: 6
            height: 6
            anchors.verticalCenter: parent.verticalCenter
            color: Qt.rgba(1, 0.23, 0.19, 1)
            diameter: 6
            period: 0.7
        }
        Text {
            objectName: "recText"
            anchors.verticalCenter: parent.verticalCenter
            text: "REC"
            textFormat: Text.PlainText
            font.family: "Quicksand"
            font.pixelSize: 8
            font.weight: Font.Black
            font.letterSpacing: 1
            color: Qt.rgba(1, 0.23, 0.19, 0.95)
        }
    }
}
