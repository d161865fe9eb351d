import QtQuick
import QtQuick.Layouts
import Corvane

// One USB device on the ports tab: icon tile, name and vendor, port speed and power.
Rectangle {
    id: row

    property var device: ({})
    readonly property bool builtIn: device.isBuiltIn === true
    readonly property bool hasVendor: device.vendor !== undefined && device.vendor !== null

    implicitHeight: layout.implicitHeight + 16
    radius: 12
    color: Qt.rgba(1, 1, 1, 0.03)

    RowLayout {
        id: layout
        anchors.fill: parent
        anchors.leftMargin: 10
        anchors.rightMargin: 10
        anchors.topMargin: 8
        anchors.bottomMargin: 8
        spacing: 14

        Rectangle {
            objectName: "iconTile"
            Layout.preferredWidth: 36
            Layout.preferredHeight: 36
            radius: 10
            color: row.builtIn ? Qt.rgba(1, 1, 1, 0.08) : Qt.alpha(ThemeManager.good, 0.18)
            SymbolIcon {
                objectName: "deviceSymbol"
                anchors.centerIn: parent
                symbol: row.builtIn ? "internaldrive" : "cable.connector"
                pointSize: 14
                bold: true
                color: row.builtIn ? Qt.rgba(1, 1, 1, 0.6) : ThemeManager.good
            }
        }
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 2
            Text {
                objectName: "name"
                Layout.fillWidth: true
                text: row.device.name !== undefined ? row.device.name : ""
                textFormat: Text.PlainText
                elide: Text.ElideRight
                maximumLineCount: 1
                font.family: "Quicksand"
                font.pixelSize: 13
                font.bold: true
                color: "white"
            }
            Text {
                objectName: "vendor"
                Layout.fillWidth: true
                visible: row.hasVendor
                text: row.hasVendor ? row.device.vendor : ""
                textFormat: Text.PlainText
                elide: Text.ElideRight
                maximumLineCount: 1
                font.family: "Inter"
                font.pixelSize: 11
                color: AppPalette.textSecondary
            }
        }
        ColumnLayout {
            spacing: 2
            Text {
                objectName: "portSpeed"
                Layout.alignment: Qt.AlignRight
                text: row.device.portSpeed !== undefined ? row.device.portSpeed : ""
                textFormat: Text.PlainText
                font.family: "Quicksand"
                font.pixelSize: 10
                font.bold: true
                color: Qt.rgba(1, 1, 1, 0.7)
            }
            RowLayout {
                Layout.alignment: Qt.AlignRight
                spacing: 4
                SymbolIcon {
                    symbol: "bolt.fill"
                    pointSize: 9
                    color: ThemeManager.warning
                }
                Text {
                    objectName: "power"
                    text: TabText.devicePowerText(row.device.powerMilliAmps !== undefined ? row.device.powerMilliAmps : 0)
                    textFormat: Text.PlainText
                    font.family: "DejaVu Sans Mono"
                    font.pixelSize: 10
                    font.bold: true
                    color: ThemeManager.warning
                }
            }
        }
    }
}
