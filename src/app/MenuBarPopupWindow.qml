import QtQuick
import QtQuick.Window
import Corvane

// The frameless window behind the tray icon; closes once it has lost the focus. It follows the
// size of its content.
Window {
    id: popup
    width: content.implicitWidth
    height: content.implicitHeight
    color: "transparent"
    title: "Corvane"
    flags: Qt.Tool | Qt.FramelessWindowHint | Qt.WindowStaysOnTopHint

    // The window manager may take the focus away for a moment while the popup appears, and
    // on a loaded machine it comes back late: only a popup still left without it a moment
    // later was left by the user.
    onActiveChanged: {
        if (active)
            leaveTimer.stop()
        else if (visible)
            leaveTimer.restart()
    }
    Timer {
        id: leaveTimer
        objectName: "leaveTimer"
        interval: 350
        onTriggered: if (!popup.active && popup.visible) popup.hide()
    }

    Shortcut {
        sequence: "Escape"
        onActivated: popup.hide()
    }

    MenuBarPopup {
        id: content
        anchors.fill: parent
    }
}
