import QtQuick
import QtQuick.Window
import Corvane

// The frameless window behind the tray icon; closes when it loses focus.
Window {
    id: popup
    width: 360
    height: 520
    color: "transparent"
    title: "Corvane"
    flags: Qt.Tool | Qt.FramelessWindowHint | Qt.WindowStaysOnTopHint

    onActiveChanged: if (!active && visible) popup.hide()

    MenuBarPopup {
        anchors.fill: parent
    }
}
