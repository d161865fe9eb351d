import QtQuick
import QtQuick.Layouts
import Corvane

// One status chip of the dashboard: lamp, upper-case label over "ACTIV"/"INACTIV", an
// optional blinking "REC" badge while on, and the symbol at the trailing edge.
Item {
    id: chip

    property string label
    property bool isOn: false
    property color onColor: "white"
    property string icon
    property bool showRec: false

    implicitWidth: row.implicitWidth + 24
    implicitHeight: row.implicitHeight + 20

    Rectangle {
        anchors.fill: parent
        radius: 14
        color: chip.isOn ? Qt.alpha(chip.onColor, 0.12) : Qt.rgba(1, 1, 1, 0.03)
        border.width: 1
        border.color: chip.isOn ? Qt.alpha(chip.onColor, 0.65) : Qt.rgba(1, 1, 1, 0.1)
        Behavior on color { ColorAnimation { duration: 250; easing.type: Easing.OutCubic } }
    }

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.leftMargin: 12
        anchors.rightMargin: 12
        anchors.topMargin: 10
        anchors.bottomMargin: 10
        spacing: 12

        Item {
            Layout.preferredWidth: 34
            Layout.preferredHeight: 34
            Loader {
                // Rings and arc exist only while lit.
                active: chip.isOn
                anchors.centerIn: parent
                width: 32
                height: 32
                sourceComponent: CAPulseRings {
                    color: Qt.alpha(chip.onColor, 0.55)
                    lineWidth: 1.5
                    period: 2.5
                    maxScale: 1.5
                }
            }
            Rectangle {
                anchors.centerIn: parent
                width: 20
                height: 20
                radius: 10
                gradient: Gradient {
                    GradientStop { position: 0; color: chip.isOn ? chip.onColor : Qt.rgba(1, 1, 1, 0.08) }
                    GradientStop { position: 1; color: chip.isOn ? Qt.alpha(chip.onColor, 0.55) : Qt.rgba(1, 1, 1, 0.04) }
                }
                border.width: 1
                border.color: Qt.rgba(1, 1, 1, 0.35)
            }
        }

        ColumnLayout {
            spacing: 1
            Layout.fillWidth: true
            RowLayout {
                Layout.fillWidth: true
                spacing: 5
                Text {
                    objectName: "chipLabel"
                    text: chip.label.toUpperCase()
                    textFormat: Text.PlainText
                    font.family: "Quicksand"
                    font.bold: true
                    font.pixelSize: 9
                    font.letterSpacing: 1.3
                    color: Qt.rgba(1, 1, 1, 0.55)
                }
                Rectangle {
                    objectName: "rec"
                    visible: chip.isOn && chip.showRec
                    implicitWidth: recRow.implicitWidth + 8
                    implicitHeight: recRow.implicitHeight + 2
                    radius: height / 2
                    color: Qt.rgba(1, 0.23, 0.19, 0.15)
                    Row {
                        id: recRow
                        anchors.centerIn: parent
                        spacing: 3
                        CABlinkDot {
                            anchors.verticalCenter: parent.verticalCenter
                            width: 6
                            height: 6
                            color: Qt.rgba(1, 0.23, 0.19, 1)
                            diameter: 6
                            period: 0.7
                        }
                        Text {
                            text: "REC"
                            textFormat: Text.PlainText
                            font.family: "Quicksand"
                            font.weight: Font.Black
                            font.pixelSize: 8
                            font.letterSpacing: 1
                            color: Qt.rgba(1, 0.23, 0.19, 0.95)
                        }
                    }
                }
                Item { Layout.fillWidth: true }
            }
            Text {
                objectName: "chipStatus"
                Layout.fillWidth: true
                text: chip.isOn ? "ACTIV" : "INACTIV"
                textFormat: Text.PlainText
                font.family: "Quicksand"
                font.weight: Font.Black
                font.pixelSize: 12
                color: chip.isOn ? chip.onColor : Qt.rgba(1, 1, 1, 0.35)
            }
        }

        SymbolIcon {
            symbol: chip.icon
            pointSize: 14
            bold: true
            color: chip.isOn ? chip.onColor : Qt.rgba(1, 1, 1, 0.3)
        }
    }
}
