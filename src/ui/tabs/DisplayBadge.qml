import QtQuick
import Corvane

// A small capsule with upper-case text in its tint.
Rectangle {
    property alias text: label.text
    property color tint: "white"
    implicitWidth: label.implicitWidth + 12
    implicitHeight: label.implicitHeight + 4
    radius: height / 2
    color: Qt.alpha(tint, 0.2)
    Text {
        id: label
        anchors.centerIn: parent
        textFormat: Text.PlainText
        font.family: "Quicksand"
        font.pixelSize: 9
        font.weight: Font.Black
        font.letterSpacing: 1.2
        color: parent.tint
    }
}
