import QtQuick
import Corvane

// The content of the full-screen pixel window: one colour over the whole display and a small
// bar; a click on the colour moves on, and on the last colour closes the window.
Item {
    id: view
    property var colors: []
    property int step: 0
    signal stepRequested(int step)
    signal closeRequested()

    readonly property var entry: colors.length > 0 ? colors[Math.min(step, colors.length - 1)] : ({ name: "", color: "black" })

    focus: true
    Component.onCompleted: forceActiveFocus()
    Keys.onEscapePressed: view.closeRequested()

    Rectangle {
        objectName: "fullscreenColour"
        anchors.fill: parent
        color: view.entry.color
        gradient: view.entry.name === "Gradient HDR" ? hdr : null
        Gradient {
            id: hdr
            orientation: Gradient.Horizontal
            GradientStop { position: 0; color: "black" }
            GradientStop { position: 1; color: "white" }
        }
    }
    MouseArea {
        anchors.fill: parent
        onClicked: {
            if (view.step + 1 >= view.colors.length)
                view.closeRequested()
            else
                view.stepRequested(view.step + 1)
        }
    }

    Row {
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 60
        spacing: 14

        component BarButton: Rectangle {
            property string symbol
            signal activated()
            width: 36
            height: 36
            radius: 18
            color: Qt.rgba(0.12, 0.12, 0.14, 0.7)
            SymbolIcon { anchors.centerIn: parent; symbol: parent.symbol; pointSize: 14; color: "white" }
            MouseArea { anchors.fill: parent; onClicked: parent.activated() }
        }

        BarButton {
            objectName: "fullscreenBack"
            symbol: "chevron.left"
            onActivated: view.stepRequested(Math.max(view.step - 1, 0))
        }
        Rectangle {
            width: nameText.implicitWidth + 28
            height: 36
            radius: 18
            color: Qt.rgba(0.12, 0.12, 0.14, 0.7)
            Text {
                id: nameText
                objectName: "fullscreenName"
                anchors.centerIn: parent
                text: view.entry.name
                textFormat: Text.PlainText
                font.family: "Quicksand"; font.pixelSize: 13; font.weight: Font.Black
                color: "white"
            }
        }
        BarButton {
            objectName: "fullscreenNext"
            symbol: "chevron.right"
            onActivated: view.stepRequested(Math.min(view.step + 1, view.colors.length - 1))
        }
        BarButton {
            objectName: "fullscreenClose"
            symbol: "xmark"
            onActivated: view.closeRequested()
        }
    }
}
