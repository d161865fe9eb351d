import QtQuick
import Corvane

// The colour-fill pixel test: the sheet shows one flat colour at a time; the bar at the bottom
// steps through nine colours, toggles a grid and closes. A click on the colour advances.
Item {
    id: screen
    signal dismiss()

    implicitWidth: 900
    implicitHeight: 620
    focus: true

    property int step: 0
    property bool showGrid: false
    readonly property var colors: [
        { name: "Roșu", color: "#ff0000" },
        { name: "Verde", color: "#00ff00" },
        { name: "Albastru", color: "#0000ff" },
        { name: "Alb", color: "#ffffff" },
        { name: "Negru", color: "#000000" },
        { name: "Cyan", color: "#00ffff" },
        { name: "Magenta", color: Qt.rgba(1, 0, 1, 1) },
        { name: "Galben", color: Qt.rgba(1, 1, 0, 1) },
        { name: "Gri 50%", color: Qt.rgba(0.5, 0.5, 0.5, 1) }
    ]

    function previous() {
        Haptics.perform(Haptics.Alignment)
        step = Math.max(step - 1, 0)
    }
    function advance() {
        if (step + 1 >= colors.length)
            dismiss()
        else
            step = step + 1
    }
    function next() {
        Haptics.perform(Haptics.Alignment)
        advance()
    }
    function close() {
        Haptics.perform(Haptics.Generic)
        dismiss()
    }

    Component.onCompleted: forceActiveFocus()
    Keys.onPressed: (event) => {
        if (event.modifiers !== Qt.NoModifier && event.modifiers !== Qt.KeypadModifier)
            return
        if (event.key === Qt.Key_Left) { previous(); event.accepted = true }
        else if (event.key === Qt.Key_Right) { next(); event.accepted = true }
        else if (event.key === Qt.Key_Escape) { close(); event.accepted = true }
    }

    Rectangle {
        objectName: "colourLayer"
        anchors.fill: parent
        color: screen.colors[screen.step].color
        Behavior on color { ColorAnimation { duration: 250; easing.type: Easing.InOutQuad } }
    }
    // Taps that no button takes advance the colour.
    MouseArea {
        objectName: "tapArea"
        anchors.fill: parent
        onClicked: screen.advance()
    }
    GridOverlay {
        objectName: "gridOverlay"
        anchors.fill: parent
        visible: screen.showGrid
    }

    Rectangle {
        id: bar
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 28
        width: controls.implicitWidth + 28
        height: controls.implicitHeight + 28
        radius: height / 2
        color: Qt.rgba(0.12, 0.12, 0.14, 0.72)
        border.width: 1
        border.color: Qt.rgba(1, 1, 1, 0.12)

        Row {
            id: controls
            anchors.centerIn: parent
            spacing: 12
            HapticButton {
                objectName: "previousButton"
                anchors.verticalCenter: parent.verticalCenter
                symbol: "chevron.left"
                color: ThemeManager.accent
                compact: true
                onClicked: screen.previous()
            }
            Rectangle {
                anchors.verticalCenter: parent.verticalCenter
                width: caption.implicitWidth + 28
                height: caption.implicitHeight + 16
                radius: height / 2
                color: Qt.rgba(0, 0, 0, 0.55)
                Column {
                    id: caption
                    anchors.centerIn: parent
                    spacing: 1
                    Text {
                        objectName: "colourName"
                        anchors.horizontalCenter: parent.horizontalCenter
                        text: screen.colors[screen.step].name.toUpperCase()
                        textFormat: Text.PlainText
                        font.family: "Quicksand"; font.pixelSize: 12; font.weight: Font.Black; font.letterSpacing: 2
                        color: "white"
                    }
                    Text {
                        objectName: "counter"
                        anchors.horizontalCenter: parent.horizontalCenter
                        text: (screen.step + 1) + " / " + screen.colors.length
                        textFormat: Text.PlainText
                        font.family: "DejaVu Sans Mono"; font.pixelSize: 10; font.weight: Font.DemiBold
                        color: Qt.rgba(1, 1, 1, 0.7)
                    }
                }
            }
            HapticButton {
                objectName: "nextButton"
                anchors.verticalCenter: parent.verticalCenter
                symbol: "chevron.right"
                color: ThemeManager.accent
                compact: true
                onClicked: screen.next()
            }
            HapticButton {
                objectName: "gridButton"
                anchors.verticalCenter: parent.verticalCenter
                text: screen.showGrid ? "Ascunde grid" : "Grid pixeli"
                symbol: "grid"
                color: ThemeManager.good
                compact: true
                onClicked: {
                    Haptics.perform(Haptics.Generic)
                    screen.showGrid = !screen.showGrid
                }
            }
            HapticButton {
                objectName: "closeButton"
                anchors.verticalCenter: parent.verticalCenter
                text: "Închide"
                symbol: "xmark"
                color: ThemeManager.critical
                compact: true
                onClicked: screen.close()
            }
        }
        // Clicks on the bar between its buttons are not taps on the colour.
        MouseArea { anchors.fill: parent; z: -1 }
    }
}
