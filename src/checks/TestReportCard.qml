import QtQuick
import Corvane

// The result card that ends a hardware test: caption and headline, a two-column grid of
// label–value rows and up to two actions. `lines` holds { label, value, color } objects.
Item {
    id: card

    property string title
    property string subtitle
    property var lines: []
    property color accent: ThemeManager.accent
    property bool showRerun: true
    property bool showClose: true
    signal rerunClicked()
    signal closeClicked()

    implicitWidth: 600
    implicitHeight: stack.implicitHeight + 36

    Rectangle {
        anchors.fill: parent
        radius: 16
        gradient: Gradient {
            orientation: Gradient.Horizontal
            GradientStop { position: 0; color: Qt.alpha(card.accent, 0.18) }
            GradientStop { position: 1; color: Qt.rgba(0, 0, 0, 0.55) }
        }
        border.width: 1.2
        border.color: Qt.alpha(card.accent, 0.55)
    }

    Column {
        id: stack
        x: 18
        y: 18
        width: parent.width - 36
        spacing: 14

        Item {
            width: parent.width
            height: Math.max(headerText.height, badge.height)
            Row {
                spacing: 10
                SymbolIcon {
                    symbol: "checkmark.seal.fill"
                    pointSize: 22
                    color: card.accent
                    anchors.verticalCenter: parent.verticalCenter
                }
                Column {
                    id: headerText
                    spacing: 2
                    Text {
                        objectName: "reportTitle"
                        text: card.title.toUpperCase()
                        textFormat: Text.PlainText
                        font.family: "Quicksand"; font.pixelSize: 11; font.weight: Font.Black
                        font.letterSpacing: 2
                        color: Qt.rgba(1, 1, 1, 0.65)
                    }
                    Text {
                        objectName: "reportSubtitle"
                        text: card.subtitle
                        textFormat: Text.PlainText
                        font.family: "Quicksand"; font.pixelSize: 20; font.weight: Font.Bold
                        color: "white"
                    }
                }
            }
            Rectangle {
                id: badge
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                width: badgeText.implicitWidth + 20
                height: badgeText.implicitHeight + 10
                radius: height / 2
                color: Qt.alpha(card.accent, 0.2)
                Text {
                    id: badgeText
                    anchors.centerIn: parent
                    text: "RAPORT"
                    textFormat: Text.PlainText
                    font.family: "Quicksand"; font.pixelSize: 10; font.weight: Font.Black
                    font.letterSpacing: 2
                    color: card.accent
                }
            }
        }

        Grid {
            columns: 2
            columnSpacing: 10
            rowSpacing: 10
            width: parent.width
            Repeater {
                model: card.lines
                Rectangle {
                    objectName: "reportLine"
                    required property var modelData
                    property string label: modelData.label
                    property string value: modelData.value
                    width: (stack.width - 10) / 2
                    height: 34
                    radius: 8
                    color: Qt.rgba(1, 1, 1, 0.04)
                    border.width: 1
                    border.color: Qt.rgba(1, 1, 1, 0.06)
                    Text {
                        anchors.left: parent.left
                        anchors.leftMargin: 12
                        anchors.verticalCenter: parent.verticalCenter
                        text: modelData.label
                        textFormat: Text.PlainText
                        font.family: "Quicksand"; font.pixelSize: 11; font.weight: Font.DemiBold
                        color: Qt.rgba(1, 1, 1, 0.6)
                    }
                    Text {
                        anchors.right: parent.right
                        anchors.rightMargin: 12
                        anchors.verticalCenter: parent.verticalCenter
                        text: modelData.value
                        textFormat: Text.PlainText
                        font.family: "DejaVu Sans Mono"; font.pixelSize: 13; font.weight: Font.Bold
                        color: modelData.color
                    }
                }
            }
        }

        Row {
            visible: card.showRerun || card.showClose
            spacing: 10
            HapticButton {
                objectName: "rerunButton"
                visible: card.showRerun
                text: "Rulează din nou"
                symbol: "arrow.clockwise"
                color: card.accent
                compact: true
                onClicked: { Haptics.perform(Haptics.Generic); card.rerunClicked() }
            }
            HapticButton {
                objectName: "reportCloseButton"
                visible: card.showClose
                text: "Închide"
                symbol: "xmark"
                color: Qt.rgba(1, 1, 1, 0.55)
                compact: true
                onClicked: { Haptics.perform(Haptics.Generic); card.closeClicked() }
            }
        }
    }
}
