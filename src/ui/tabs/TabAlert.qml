import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Templates as T
import QtQuick.Layouts
import Corvane

// A modal alert over the tab: title, message and a row of buttons. Escape dismisses it.
// `buttons`: [{ text, role }] with role "cancel", "destructive" or "" (default).
Popup {
    id: alert

    property string title
    property string message
    property var buttons: []
    // The button the user chose (by index), or a dismissal without one.
    signal chosen(int index)
    signal dismissed()

    property bool answered: false

    modal: true
    focus: true
    closePolicy: Popup.CloseOnEscape
    parent: T.Overlay.overlay
    anchors.centerIn: parent
    width: Math.min(440, parent ? parent.width - 48 : 440)
    padding: 20
    T.Overlay.modal: Rectangle { color: Qt.rgba(0, 0, 0, 0.45) }

    onAboutToShow: answered = false
    onClosed: if (!answered) dismissed()

    background: Rectangle {
        radius: 14
        color: Qt.rgba(0.11, 0.12, 0.17, 0.97)
        border.width: 1
        border.color: Qt.rgba(1, 1, 1, 0.12)
    }

    contentItem: ColumnLayout {
        spacing: 10
        Text {
            objectName: "alertTitle"
            Layout.fillWidth: true
            text: alert.title
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            font.family: "Inter"
            font.pixelSize: 15
            font.bold: true
            color: "white"
        }
        Text {
            objectName: "alertMessage"
            Layout.fillWidth: true
            visible: text !== ""
            text: alert.message
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            font.family: "Inter"
            font.pixelSize: 12
            color: Qt.rgba(1, 1, 1, 0.8)
        }
        Flow {
            Layout.fillWidth: true
            Layout.topMargin: 8
            layoutDirection: Qt.RightToLeft
            spacing: 8
            Repeater {
                // Right to left: the last button sits at the trailing edge.
                model: alert.buttons.length
                delegate: Button {
                    id: button
                    required property int index
                    readonly property var choice: alert.buttons[alert.buttons.length - 1 - index]
                    objectName: "alertButton_" + choice.text
                    text: choice.text
                    font.family: "Inter"
                    font.pixelSize: 12
                    font.bold: choice.role !== "cancel"
                    focusPolicy: Qt.TabFocus
                    onClicked: {
                        alert.answered = true
                        alert.close()
                        alert.chosen(alert.buttons.length - 1 - index)
                    }
                    contentItem: Text {
                        text: button.text
                        font: button.font
                        textFormat: Text.PlainText
                        color: button.choice.role === "destructive" ? ThemeManager.critical : "white"
                        horizontalAlignment: Text.AlignHCenter
                        verticalAlignment: Text.AlignVCenter
                    }
                    background: Rectangle {
                        implicitHeight: 30
                        implicitWidth: 80
                        radius: 8
                        color: button.pressed ? Qt.rgba(1, 1, 1, 0.2) : Qt.rgba(1, 1, 1, button.hovered ? 0.14 : 0.08)
                        border.width: 1
                        border.color: Qt.rgba(1, 1, 1, 0.12)
                        FocusRing { shown: button.visualFocus; radius: 11 }
                    }
                }
            }
        }
    }
}
