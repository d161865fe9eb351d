import QtQuick
import QtQuick.Controls.Basic
import Corvane

// A plain bordered button with a text, a symbol or both.
Button {
    id: button
    property string symbol: ""
    focusPolicy: Qt.TabFocus
    hoverEnabled: true
    font.family: "Inter"
    font.pixelSize: 12
    leftPadding: 10
    rightPadding: 10
    topPadding: 5
    bottomPadding: 5
    contentItem: Row {
        spacing: 5
        SymbolIcon {
            visible: button.symbol !== ""
            symbol: button.symbol
            pointSize: 13
            color: "white"
            anchors.verticalCenter: parent.verticalCenter
        }
        Text {
            visible: button.text !== ""
            text: button.text
            font: button.font
            textFormat: Text.PlainText
            color: "white"
            anchors.verticalCenter: parent.verticalCenter
        }
    }
    background: Rectangle {
        radius: 6
        color: button.pressed ? Qt.rgba(1, 1, 1, 0.2) : Qt.rgba(1, 1, 1, button.hovered ? 0.14 : 0.08)
        border.width: 1
        border.color: Qt.rgba(1, 1, 1, 0.12)
        FocusRing { shown: button.visualFocus; radius: 9 }
    }
}
