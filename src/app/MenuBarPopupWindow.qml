import QtQuick
import QtQuick.Window
import Corvane

// The frameless window behind the tray icon; closes when it loses focus. It follows the
// size of its content.
Window {
    id: popup
    width: content.implicitWidth
    height: content.implicitHeight
    color: "transparent"
    title: "Corvane"
    flags: Qt.Tool | Qt.FramelessWindowHint | Qt.WindowStaysOnTopHint

    onActiveChanged: if (!active && visible) popup.hide()

    Shortcut {
        sequence: "Escape"
        onActivated: popup.hide()
    }

    MenuBarPopup {
        id: content
        anchors.fill: parent
    }
}
