import QtQuick
import QtQuick.Layouts
import Corvane

// The page header: logo tile, wordmark, greeting with the frame-rate badge, the machine's
// model identifier, and the clock with the date.
RowLayout {
    id: header

    property date clockTick: WallTime.now()
    property real fps: 0

    spacing: 18

    Rectangle {
        objectName: "logo"
        Layout.preferredWidth: 58
        Layout.preferredHeight: 58
        radius: 14
        gradient: Gradient {
            orientation: Gradient.Vertical
            GradientStop { position: 0; color: Qt.rgba(0.16, 0.16, 0.16, 1) }
            GradientStop { position: 1; color: Qt.rgba(0.03, 0.03, 0.03, 1) }
        }
        border.width: 1
        border.color: Qt.rgba(1, 1, 1, 0.15)
        Image {
            anchors.fill: parent
            anchors.margins: 10
            source: Assets.image("VexelMark")
            sourceSize: Qt.size(76, 76)
            fillMode: Image.PreserveAspectFit
            smooth: true
        }
    }

    ColumnLayout {
        spacing: 4
        Layout.fillWidth: true

        Row {
            spacing: 6
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: "CORVANE"
                textFormat: Text.PlainText
                font.family: "Quicksand"
                font.weight: Font.Black
                font.pixelSize: 11
                font.letterSpacing: 3
                color: "white"
            }
            Rectangle {
                anchors.verticalCenter: parent.verticalCenter
                width: 22
                height: 1.2
                gradient: Gradient {
                    orientation: Gradient.Horizontal
                    GradientStop { position: 0; color: ThemeManager.accent }
                    GradientStop { position: 1; color: Qt.alpha(ThemeManager.accent, 0) }
                }
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: "SKERRIN"
                textFormat: Text.PlainText
                font.family: "Quicksand"
                font.weight: Font.Black
                font.pixelSize: 11
                font.letterSpacing: 2.6
                color: ThemeManager.accent
            }
        }

        Row {
            spacing: 12
            ShimmerText {
                id: greeting
                objectName: "greeting"
                text: DashboardRules.greeting(header.clockTick)
                font: Qt.font({ family: "Quicksand", pixelSize: 26, weight: Font.Bold })
                baseColor: "white"
                highlightColor: ThemeManager.accent
            }
            Rectangle {
                objectName: "fpsBadge"
                anchors.verticalCenter: greeting.verticalCenter
                implicitWidth: badgeRow.implicitWidth + 16
                implicitHeight: badgeRow.implicitHeight + 8
                width: implicitWidth
                height: implicitHeight
                radius: height / 2
                color: Qt.alpha(ThemeManager.good, 0.15)
                Row {
                    id: badgeRow
                    anchors.centerIn: parent
                    spacing: 6
                    Rectangle {
                        anchors.verticalCenter: parent.verticalCenter
                        width: 7
                        height: 7
                        radius: 3.5
                        color: ThemeManager.good
                    }
                    Text {
                        objectName: "fpsText"
                        anchors.verticalCenter: parent.verticalCenter
                        text: DashboardRules.fpsBadge(header.fps) + " fps"
                        textFormat: Text.PlainText
                        font.family: "DejaVu Sans Mono"
                        font.weight: Font.DemiBold
                        font.pixelSize: 11
                        color: ThemeManager.good
                    }
                }
            }
        }

        Text {
            objectName: "model"
            Layout.fillWidth: true
            text: DashboardRules.modelIdentifier
            textFormat: Text.PlainText
            elide: Text.ElideRight
            font.family: "Quicksand"
            font.weight: Font.Medium
            font.pixelSize: 11
            color: Qt.rgba(1, 1, 1, 0.45)
        }
    }

    ColumnLayout {
        spacing: 2
        Layout.alignment: Qt.AlignVCenter
        Text {
            objectName: "clock"
            Layout.alignment: Qt.AlignRight
            text: DashboardRules.clockTime(header.clockTick)
            textFormat: Text.PlainText
            font.family: "DejaVu Sans Mono"
            font.bold: true
            font.pixelSize: 28
            color: "white"
        }
        Text {
            objectName: "date"
            Layout.alignment: Qt.AlignRight
            text: DashboardRules.clockDate(header.clockTick)
            textFormat: Text.PlainText
            font.family: "Inter"
            font.pixelSize: 11
            color: AppPalette.textSecondary
        }
    }
}
