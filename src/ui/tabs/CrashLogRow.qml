import QtQuick
import QtQuick.Layouts
import Corvane

// One report in the list: process name with its kind badge, and the date.
Rectangle {
    id: row
    objectName: "crashRow"
    property var entry: ({})
    property bool selected: false
    signal picked()

    implicitHeight: column.implicitHeight + 12
    radius: 8
    color: selected ? Qt.alpha(ThemeManager.accent, 0.22) : hover.hovered ? Qt.rgba(1, 1, 1, 0.05) : "transparent"

    HoverHandler { id: hover }
    TapHandler { onTapped: row.picked() }

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.leftMargin: 10
        anchors.rightMargin: 10
        anchors.topMargin: 6
        anchors.bottomMargin: 6
        spacing: 2
        RowLayout {
            Layout.fillWidth: true
            Text {
                objectName: "processName"
                Layout.fillWidth: true
                text: row.entry.processName
                textFormat: Text.PlainText
                elide: Text.ElideRight
                maximumLineCount: 1
                font.family: "Inter"
                font.pixelSize: 13
                font.bold: true
                color: "white"
            }
            Rectangle {
                implicitWidth: kind.implicitWidth + 12
                implicitHeight: kind.implicitHeight + 4
                radius: height / 2
                color: Qt.alpha(ThemeManager.critical, 0.25)
                Text {
                    id: kind
                    objectName: "kind"
                    anchors.centerIn: parent
                    text: row.entry.kind
                    textFormat: Text.PlainText
                    font.family: "Inter"
                    font.pixelSize: 10
                    color: "white"
                }
            }
        }
        Text {
            objectName: "date"
            text: row.entry.date ? TabText.eventTime(row.entry.date) : ""
            textFormat: Text.PlainText
            font.family: "Inter"
            font.pixelSize: 11
            color: AppPalette.textSecondary
        }
    }
}
