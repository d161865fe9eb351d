import QtQuick
import QtQuick.Layouts
import Corvane

// One camera or microphone event: badge, title and device, status and time.
Rectangle {
    id: row
    objectName: "privacyRow"

    property var event: ({})

    readonly property bool isCamera: event.kind === "camera"
    readonly property color rowColor: !event.active ? AppPalette.textSecondary
                                      : isCamera ? ThemeManager.good : ThemeManager.warning

    implicitHeight: layout.implicitHeight + 10
    radius: 10
    color: Qt.rgba(1, 1, 1, 0.03)

    RowLayout {
        id: layout
        anchors.fill: parent
        anchors.leftMargin: 10
        anchors.rightMargin: 10
        anchors.topMargin: 5
        anchors.bottomMargin: 5
        spacing: 10

        Rectangle {
            objectName: "eventBadge"
            Layout.preferredWidth: 28
            Layout.preferredHeight: 28
            radius: 8
            color: Qt.alpha(row.rowColor, 0.2)
            SymbolIcon {
                objectName: "eventSymbol"
                anchors.centerIn: parent
                symbol: row.isCamera ? "video.fill" : "mic.fill"
                pointSize: 12
                bold: true
                color: row.rowColor
            }
        }
        ColumnLayout {
            spacing: 1
            Layout.fillWidth: true
            // Both lines fill the column: a column that can't grow would leave the row's
            // spare width spread between all of its items.
            Text {
                objectName: "eventTitle"
                Layout.fillWidth: true
                elide: Text.ElideRight
                text: row.isCamera ? "Cameră" : "Microfon"
                textFormat: Text.PlainText
                font.family: "Quicksand"
                font.pixelSize: 12
                font.bold: true
                color: "white"
            }
            Text {
                objectName: "deviceName"
                Layout.fillWidth: true
                visible: row.event.hasDeviceName === true
                text: row.event.deviceName !== undefined ? row.event.deviceName : ""
                textFormat: Text.PlainText
                elide: Text.ElideRight
                maximumLineCount: 1
                font.family: "Inter"
                font.pixelSize: 11
                color: AppPalette.textSecondary
            }
        }
        Rectangle {
            objectName: "statusBadge"
            implicitWidth: status.implicitWidth + 16
            implicitHeight: status.implicitHeight + 6
            radius: height / 2
            color: Qt.alpha(row.rowColor, 0.2)
            Text {
                id: status
                objectName: "status"
                anchors.centerIn: parent
                text: row.event.active ? "ACTIVAT" : "DEZACTIVAT"
                textFormat: Text.PlainText
                font.family: "Quicksand"
                font.pixelSize: 9
                font.weight: Font.Black
                font.letterSpacing: 1.4
                color: row.rowColor
            }
        }
        Text {
            objectName: "eventTime"
            text: row.event.date !== undefined ? TabText.eventTime(row.event.date) : ""
            textFormat: Text.PlainText
            font.family: "DejaVu Sans Mono"
            font.pixelSize: 10
            font.weight: Font.DemiBold
            color: Qt.rgba(1, 1, 1, 0.55)
        }
    }
}
