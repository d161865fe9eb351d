import QtQuick
import QtQuick.Layouts
import QtQuick.Controls.Basic
import Corvane

// "PORTURI / USB": device count, estimated power and one row per device (rows kept by id).
ColumnLayout {
    id: content

    property var usb: null

    spacing: 8

    RowLayout {
        Layout.fillWidth: true
        Text {
            objectName: "deviceCount"
            text: devices.count + " dispozitive"
            textFormat: Text.PlainText
            font.family: "DejaVu Sans Mono"
            font.bold: true
            font.pixelSize: 16
            color: "white"
        }
        Item { Layout.fillWidth: true }
        Rectangle {
            implicitWidth: powerRow.implicitWidth + 16
            implicitHeight: powerRow.implicitHeight + 8
            radius: height / 2
            color: Qt.alpha(ThemeManager.warning, 0.15)
            Row {
                id: powerRow
                anchors.centerIn: parent
                spacing: 4
                SymbolIcon {
                    anchors.verticalCenter: parent.verticalCenter
                    symbol: "bolt.fill"
                    pointSize: 11
                    color: ThemeManager.warning
                }
                Text {
                    objectName: "watts"
                    anchors.verticalCenter: parent.verticalCenter
                    text: Fmt.fixed(content.usb ? content.usb.totalEstimatedWatts : 0, 2) + " W"
                    textFormat: Text.PlainText
                    font.family: "DejaVu Sans Mono"
                    font.bold: true
                    font.pixelSize: 11
                    color: ThemeManager.warning
                }
            }
        }
    }

    Text {
        objectName: "usbEmpty"
        visible: devices.count === 0
        Layout.fillWidth: true
        Layout.topMargin: 16
        Layout.bottomMargin: 16
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.Wrap
        text: "Niciun dispozitiv USB extern detectat."
        textFormat: Text.PlainText
        font.family: "Inter"
        font.pixelSize: 11
        color: AppPalette.textSecondary
    }

    ListView {
        id: list
        objectName: "usbList"
        visible: devices.count > 0
        Layout.fillWidth: true
        Layout.preferredHeight: Math.min(contentHeight, 200)
        clip: true
        spacing: 4
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar { policy: list.contentHeight > list.height ? ScrollBar.AlwaysOn : ScrollBar.AsNeeded }
        model: KeyedListModel {
            id: devices
            items: content.usb ? content.usb.devices : []
            keyField: "id"
        }
        delegate: USBRow {
            required property var item
            required property var key
            device: item
            objectName: "usb." + key
            width: ListView.view.width - (list.contentHeight > list.height ? 10 : 0)
        }
    }
}
