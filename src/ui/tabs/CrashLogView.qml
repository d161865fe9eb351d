import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// The crash-log tab: the reports on the left, the selected report's text on the right.
Item {
    id: screen
    // The crash-log reader the screen owns for its life; made on creation unless given.
    property var reader: null
    // The selected report's key (empty for none): it stays selected across rescans.
    property string selection: ""

    readonly property var selectedEntry: {
        if (!reader || selection === "" || reader.revision < 0)
            return null
        const entry = reader.entryFor(selection)
        return entry === undefined ? null : entry
    }

    Component.onCompleted: if (reader === null) reader = ownReader.createObject(screen)
    Component { id: ownReader; CrashLogReader {} }

    KeepsPlace {
        flickable: list
        key: "crashes"
    }

    Rectangle {
        anchors.fill: parent
        gradient: Gradient {
            orientation: Gradient.Horizontal
            GradientStop { position: 0; color: AppPalette.backgroundGradient.from }
            GradientStop { position: 1; color: AppPalette.backgroundGradient.to }
        }
    }

    SplitView {
        anchors.fill: parent
        orientation: Qt.Horizontal
        handle: Rectangle {
            implicitWidth: 1
            color: Qt.rgba(1, 1, 1, 0.1)
        }

        ColumnLayout {
            SplitView.minimumWidth: 320
            SplitView.preferredWidth: 380
            spacing: 0

            RowLayout {
                Layout.fillWidth: true
                Layout.margins: 12
                spacing: 8
                SymbolIcon {
                    symbol: "exclamationmark.triangle.fill"
                    pointSize: 14
                    color: ThemeManager.warning
                }
                Text {
                    objectName: "header"
                    Layout.fillWidth: true
                    Layout.minimumWidth: implicitWidth
                    text: "Istoric crash / freeze (" + (screen.reader ? screen.reader.count : 0) + ")"
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    font.family: "Inter"
                    font.pixelSize: 12
                    font.bold: true
                    color: "white"
                }
                PaneButton {
                    objectName: "refreshButton"
                    symbol: "arrow.clockwise"
                    onClicked: if (screen.reader) screen.reader.refresh()
                }
                PaneButton {
                    objectName: "folderButton"
                    text: "Deschide folderul"
                    onClicked: if (screen.reader) screen.reader.openFolder()
                }
            }

            // A source that could not be read is said, above what the others gave.
            Text {
                objectName: "sourceError"
                Layout.fillWidth: true
                Layout.leftMargin: 12
                Layout.rightMargin: 12
                Layout.bottomMargin: 8
                visible: text !== ""
                text: screen.reader && screen.reader.lastError ? screen.reader.lastError : ""
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                font.family: "Inter"
                font.pixelSize: 11
                color: ThemeManager.warning
            }

            // The folder or a report the desktop could not open, said where it was asked.
            Text {
                objectName: "openError"
                Layout.fillWidth: true
                Layout.leftMargin: 12
                Layout.rightMargin: 12
                Layout.bottomMargin: 8
                visible: text !== ""
                text: screen.reader ? screen.reader.openError : ""
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                font.family: "Inter"
                font.pixelSize: 11
                color: ThemeManager.warning
            }

            ListView {
                id: list
                objectName: "reportList"
                Layout.fillWidth: true
                Layout.fillHeight: true
                Layout.leftMargin: 8
                Layout.rightMargin: 8
                clip: true
                spacing: 2
                model: screen.reader ? screen.reader.model : null
                boundsBehavior: Flickable.StopAtBounds
                reuseItems: true
                ScrollBar.vertical: ScrollBar {}
                delegate: CrashLogRow {
                    required property var item
                    required property string key
                    width: list.width
                    entry: item
                    selected: key === screen.selection
                    onPicked: screen.selection = key
                }
            }
        }

        Item {
            SplitView.fillWidth: true
            SplitView.minimumWidth: 280

            Column {
                objectName: "placeholder"
                anchors.centerIn: parent
                visible: screen.selectedEntry === null
                spacing: 8
                SymbolIcon {
                    anchors.horizontalCenter: parent.horizontalCenter
                    symbol: "doc.text.magnifyingglass"
                    pointSize: 34
                    color: Qt.rgba(1, 1, 1, 0.3)
                }
                Text {
                    text: "Selectează un fișier pentru detalii"
                    textFormat: Text.PlainText
                    font.family: "Inter"
                    font.pixelSize: 13
                    color: Qt.rgba(1, 1, 1, 0.5)
                }
            }

            Loader {
                objectName: "detailLoader"
                anchors.fill: parent
                active: screen.selectedEntry !== null
                sourceComponent: CrashLogDetail {
                    entry: screen.selectedEntry
                    onOpenRequested: (key) => screen.reader.openReport(key)
                }
            }
        }
    }
}
