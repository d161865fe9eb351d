import QtQuick
import QtQuick.Window
import QtQuick.Templates as T
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

    // A sheet open in the window (and the test running in it) outlives closing the window:
    // the content stays built until the window is shown again and the sheet is done.
    readonly property bool holdsContent: T.Overlay.overlay !== null && T.Overlay.overlay.visible

    // The settings' refresh rate paces the live figures for as long as the app runs.
    Binding {
        target: AppState
        property: "sampleInterval"
        value: SettingsStore.refreshRate
    }

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
    // title bar (desktop mode). Controls above take their own presses. The manager's move
    // starts only once the pointer has travelled: started on a plain click, it would begin
    // after the button is already up and follow the pointer until the next click.
    MouseArea {
        objectName: "windowDragArea"
        anchors.fill: parent
        property point pressPoint
        property bool moving: false
        onPressed: (mouse) => {
            pressPoint = Qt.point(mouse.x, mouse.y)
            moving = false
        }
        onPositionChanged: (mouse) => {
            if (moving || !pressed)
                return
            const threshold = Qt.styleHints.startDragDistance
            if (Math.abs(mouse.x - pressPoint.x) > threshold || Math.abs(mouse.y - pressPoint.y) > threshold)
                moving = root.startSystemMove()
        }
        onReleased: moving = false
        onCanceled: moving = false
    }

    // Built only while shown: a hidden window keeps no scene (the tab and settings live in
    // the app's state, the position with the window). Named by its file rather than written
    // inline, so that while hidden nothing holds the interface's compiled types and the
    // engine's cache can let them go.
    Loader {
        anchors.fill: parent
        source: root.visible || root.holdsContent ? "RootView.qml" : ""
    }
}
