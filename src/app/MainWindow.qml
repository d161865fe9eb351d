import QtQuick
import QtQuick.Window
import Corvane

// The main window: the sidebar interface and the "Widget" commands.
Window {
    id: root
    width: 1180
    height: 760
    minimumWidth: 1180
    minimumHeight: 760
    visible: true
    color: "#0b0d14"
    title: "Corvane Skerrin Widget"

    // The "Widget" commands; Ctrl stands for Command.
    Shortcut {
        sequence: "Ctrl+D"
        context: Qt.ApplicationShortcut
        onActivated: AppDelegate.toggleBarMode()
    }
    Shortcut {
        sequence: "Ctrl+Shift+D"
        context: Qt.ApplicationShortcut
        onActivated: AppDelegate.toggleDesktopMode()
    }
    Shortcut {
        sequence: "Ctrl+Shift+F"
        context: Qt.ApplicationShortcut
        onActivated: AppDelegate.bringToFront()
    }

    // The window moves by dragging its background: the one way to move it without a
    // title bar (desktop mode). Controls above take their own presses.
    MouseArea {
        objectName: "windowDragArea"
        anchors.fill: parent
        onPressed: (mouse) => { if (!root.startSystemMove()) mouse.accepted = false }
    }

    // Built only while shown: a hidden window keeps no scene (the tab and settings live in
    // the app's state, the position with the window).
    Loader {
        anchors.fill: parent
        active: root.visible
        sourceComponent: RootView {}
    }
}
