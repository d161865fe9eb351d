import QtQuick
import QtQuick.Layouts
import Corvane

// One attached display: tile, name with badges, a one-line summary, internal or external and
// the diagonal; a toggle for the detail grid and a button for the pixel test.
Rectangle {
    id: row

    property var display: ({})
    property bool expanded: false
    signal test()

    readonly property bool builtIn: display.isBuiltIn === true

    implicitHeight: column.implicitHeight + 24
    radius: 12
    color: Qt.rgba(1, 1, 1, 0.03)
    border.width: 1
    border.color: Qt.rgba(1, 1, 1, 0.05)
    clip: true

    function toggle() {
        Haptics.perform(Haptics.Generic)
        expanded = !expanded
    }

    ColumnLayout {
        id: column
        x: 12
        y: 12
        width: row.width - 24
        spacing: 8

        RowLayout {
            Layout.fillWidth: true
            spacing: 14

            Rectangle {
                objectName: "iconTile"
                Layout.preferredWidth: 36
                Layout.preferredHeight: 36
                radius: 10
                color: row.builtIn ? Qt.rgba(1, 1, 1, 0.08) : Qt.alpha(ThemeManager.accentSecondary, 0.18)
                SymbolIcon {
                    objectName: "displaySymbol"
                    anchors.centerIn: parent
                    symbol: row.builtIn ? "laptopcomputer" : "tv.fill"
                    pointSize: 14
                    bold: true
                    color: row.builtIn ? Qt.rgba(1, 1, 1, 0.6) : ThemeManager.accentSecondary
                }
            }
            ColumnLayout {
                Layout.fillWidth: true
                spacing: 2
                RowLayout {
                    spacing: 6
                    Text {
                        objectName: "displayName"
                        Layout.maximumWidth: 360
                        text: row.display.name !== undefined ? row.display.name : ""
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        maximumLineCount: 1
                        font.family: "Quicksand"
                        font.pixelSize: 13
                        font.bold: true
                        color: "white"
                    }
                    DisplayBadge { objectName: "primaryBadge"; visible: row.display.isMain === true; text: "PRIMARY"; tint: ThemeManager.good }
                    DisplayBadge { objectName: "hdrBadge"; visible: row.display.supportsHDR === true; text: "HDR"; tint: ThemeManager.warning }
                }
                Text {
                    objectName: "summary"
                    Layout.fillWidth: true
                    text: TabText.summaryLineOf(row.display)
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    font.family: "Inter"
                    font.pixelSize: 11
                    color: AppPalette.textSecondary
                }
            }
            ColumnLayout {
                spacing: 2
                Text {
                    objectName: "placement"
                    Layout.alignment: Qt.AlignRight
                    text: row.builtIn ? "INTERNAL" : "EXTERN"
                    textFormat: Text.PlainText
                    font.family: "Quicksand"
                    font.pixelSize: 9
                    font.weight: Font.Black
                    font.letterSpacing: 1.2
                    color: row.builtIn ? AppPalette.textSecondary : ThemeManager.accentSecondary
                }
                Text {
                    objectName: "diagonal"
                    Layout.alignment: Qt.AlignRight
                    visible: row.display.diagonalInches > 0
                    text: TabText.diagonalOf(row.display)
                    textFormat: Text.PlainText
                    font.family: "DejaVu Sans Mono"
                    font.pixelSize: 11
                    font.bold: true
                    color: Qt.rgba(1, 1, 1, 0.7)
                }
            }
        }

        RowLayout {
            spacing: 6
            HapticButton {
                objectName: "detailsButton"
                text: row.expanded ? "Mai puține detalii" : "Detalii complete"
                symbol: row.expanded ? "chevron.up" : "chevron.down"
                color: ThemeManager.accent
                compact: true
                onClicked: row.toggle()
            }
            HapticButton {
                objectName: "testButton"
                text: "Test display"
                symbol: "rectangle.checkered"
                color: ThemeManager.accentSecondary
                compact: true
                onClicked: {
                    Haptics.perform(Haptics.Generic)
                    row.test()
                }
            }
        }

        Loader {
            objectName: "details"
            Layout.fillWidth: true
            active: row.expanded
            visible: active
            sourceComponent: DisplayDetailsBlock {
                display: row.display
                opacity: 0
                y: -12
                Component.onCompleted: { opacity = 1; y = 0 }
                Behavior on opacity { NumberAnimation { duration: 250; easing.type: Easing.OutCubic } }
                Behavior on y { NumberAnimation { duration: 300; easing.type: Easing.OutBack; easing.overshoot: 0.8 } }
            }
        }
    }
}
