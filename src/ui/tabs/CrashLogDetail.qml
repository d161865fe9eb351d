import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// The selected report: its file name, a button to open it, and its text.
ColumnLayout {
    id: detail
    property var entry: null
    signal openRequested(string key)
    readonly property alias content: report.content
    spacing: 8

    // Each selection loads afresh; the previous text stays until the new one arrives.
    CrashReportText {
        id: report
        entry: detail.entry
    }

    RowLayout {
        Layout.fillWidth: true
        Layout.leftMargin: 12
        Layout.rightMargin: 12
        Layout.topMargin: 12
        Text {
            objectName: "fileName"
            Layout.fillWidth: true
            text: detail.entry ? detail.entry.fileName : ""
            textFormat: Text.PlainText
            elide: Text.ElideMiddle
            font.family: "Inter"
            font.pixelSize: 13
            font.bold: true
            color: "white"
        }
        PaneButton {
            objectName: "openButton"
            // A journal record has no file to open.
            visible: detail.entry !== null && detail.entry.canOpen
            text: "Deschide fișierul"
            onClicked: if (detail.entry) detail.openRequested(detail.entry.key)
        }
    }

    Text {
        objectName: "truncatedNote"
        Layout.fillWidth: true
        Layout.leftMargin: 12
        Layout.rightMargin: 12
        visible: report.truncatedNote !== ""
        text: report.truncatedNote
        textFormat: Text.PlainText
        wrapMode: Text.Wrap
        font.family: "Inter"
        font.pixelSize: 11
        color: ThemeManager.warning
    }

    // One delegate per line (long lines come in pieces), so only what is in view is laid out.
    ListView {
        id: lines
        objectName: "reportText"
        Layout.fillWidth: true
        Layout.fillHeight: true
        leftMargin: 12
        rightMargin: 12
        topMargin: 12
        bottomMargin: 12
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        model: report.lines
        reuseItems: true
        ScrollBar.vertical: ScrollBar { policy: ScrollBar.AlwaysOn }
        delegate: Text {
            required property string modelData
            width: lines.width - 24
            text: modelData
            textFormat: Text.PlainText
            wrapMode: Text.WrapAnywhere
            font.family: "DejaVu Sans Mono"
            font.pixelSize: 11
            color: Qt.rgba(1, 1, 1, 0.85)
        }
    }
}
