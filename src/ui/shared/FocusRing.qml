import QtQuick
import Corvane

// The keyboard-focus outline drawn around a control while it has focus from the keyboard.
Rectangle {
    property bool shown: false
    objectName: "focusRing"
    visible: shown
    anchors.fill: parent
    anchors.margins: -3
    color: "transparent"
    border.width: 2
    border.color: Qt.rgba(1, 1, 1, 0.85)
}
