import QtQuick
import QtQuick.Layouts
import QtQuick.Controls.Basic
import Corvane

// "TEMPERATURI": CPU and GPU pills with the sensor count, their histories, and the searchable
// list of every sensor with a star for favourites (favourites first, hottest first).
ColumnLayout {
    id: content

    property var smc: null
    property var favorites: null
    property alias sensorQuery: search.text
    readonly property int sensorCount: smc ? smc.temperatures.length : 0

    spacing: 10

    component Pill: Rectangle {
        property string caption
        property real celsius: 0
        readonly property bool known: celsius > 0
        implicitWidth: pillRow.implicitWidth + 20
        implicitHeight: pillRow.implicitHeight + 10
        radius: height / 2
        color: Qt.rgba(1, 1, 1, 0.06)
        Row {
            id: pillRow
            anchors.centerIn: parent
            spacing: 6
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: parent.parent.caption
                textFormat: Text.PlainText
                font.family: "Quicksand"
                font.weight: Font.Black
                font.pixelSize: 10
                font.letterSpacing: 1.2
                color: Qt.rgba(1, 1, 1, 0.45)
            }
            Text {
                objectName: "pillValue"
                anchors.verticalCenter: parent.verticalCenter
                readonly property var pill: parent.parent
                text: pill.known ? Fmt.fixed(pill.celsius, 0) + "°" : "—"
                textFormat: Text.PlainText
                font.family: "DejaVu Sans Mono"
                font.bold: true
                font.pixelSize: 18
                color: pill.known ? (ThemeManager.theme, Fmt.temperatureColor(pill.celsius)) : AppPalette.textSecondary
            }
        }
    }

    RowLayout {
        Layout.fillWidth: true
        spacing: 14
        Pill { objectName: "cpuPill"; caption: "CPU"; celsius: content.smc ? content.smc.cpuTemp : 0 }
        Pill { objectName: "gpuPill"; caption: "GPU"; celsius: content.smc ? content.smc.gpuTemp : 0 }
        Item { Layout.fillWidth: true }
        Text {
            objectName: "sensorCount"
            text: content.sensorCount + " senzori"
            textFormat: Text.PlainText
            font.family: "Inter"
            font.pixelSize: 10
            color: AppPalette.textSecondary
        }
    }

    RowLayout {
        Layout.fillWidth: true
        spacing: 8
        MiniSpark {
            Layout.fillWidth: true
            Layout.preferredWidth: 10
            Layout.preferredHeight: 18
            samples: content.smc ? content.smc.cpuHistory.samples : []
            color: ThemeManager.critical
        }
        MiniSpark {
            Layout.fillWidth: true
            Layout.preferredWidth: 10
            Layout.preferredHeight: 18
            samples: content.smc ? content.smc.gpuHistory.samples : []
            color: ThemeManager.warning
        }
    }

    Text {
        objectName: "sensorsEmpty"
        visible: content.sensorCount === 0
        Layout.fillWidth: true
        Layout.topMargin: 16
        Layout.bottomMargin: 16
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.Wrap
        text: "Senzorii de temperatură nu sunt disponibili pe acest computer."
        textFormat: Text.PlainText
        font.family: "Inter"
        font.pixelSize: 11
        color: AppPalette.textSecondary
    }

    Rectangle {
        objectName: "searchRow"
        visible: content.sensorCount > 0
        Layout.fillWidth: true
        implicitHeight: searchRow.implicitHeight + 10
        radius: 7
        color: Qt.rgba(1, 1, 1, 0.06)
        RowLayout {
            id: searchRow
            anchors.fill: parent
            anchors.leftMargin: 8
            anchors.rightMargin: 8
            anchors.topMargin: 5
            anchors.bottomMargin: 5
            spacing: 6
            SymbolIcon {
                symbol: "magnifyingglass"
                pointSize: 10
                bold: true
                color: AppPalette.textSecondary
            }
            TextField {
                id: search
                objectName: "sensorSearch"
                Layout.fillWidth: true
                placeholderText: "Caută senzor…"
                placeholderTextColor: Qt.rgba(1, 1, 1, 0.35)
                padding: 0
                background: null
                color: "white"
                selectByMouse: true
                font.family: "Quicksand"
                font.weight: Font.Medium
                font.pixelSize: 11
            }
            SymbolIcon {
                objectName: "clearSearch"
                visible: search.text.length > 0
                symbol: "xmark.circle.fill"
                pointSize: 10
                color: AppPalette.textSecondary
                TapHandler { onTapped: search.text = "" }
            }
        }
    }

    ListView {
        id: list
        objectName: "sensorList"
        visible: content.sensorCount > 0
        Layout.fillWidth: true
        Layout.preferredHeight: Math.min(contentHeight, 165)
        clip: true
        spacing: 3
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar { policy: list.contentHeight > list.height ? ScrollBar.AlwaysOn : ScrollBar.AsNeeded }
        model: SensorListModel {
            id: sensors
            smc: content.smc
            query: search.text
            favoriteKeys: content.favorites ? content.favorites.raw : ""
        }
        // Rows move to their new place in the order rules without a fly-in.
        delegate: RowLayout {
            id: row
            required property string key
            required property string name
            required property real celsius
            required property bool favorite
            required property string degrees
            objectName: "sensor." + key
            width: ListView.view.width - 10
            spacing: 6
            SymbolIcon {
                objectName: "star"
                Layout.topMargin: 1
                Layout.bottomMargin: 1
                symbol: row.favorite ? "star.fill" : "star"
                pointSize: 9
                color: row.favorite ? ThemeManager.warning : Qt.rgba(1, 1, 1, 0.25)
                TapHandler {
                    margin: 4
                    onTapped: if (content.favorites) content.favorites.toggle(row.key)
                }
            }
            Text {
                objectName: "name"
                Layout.fillWidth: true
                text: row.name
                textFormat: Text.PlainText
                elide: Text.ElideRight
                maximumLineCount: 1
                font.family: "Quicksand"
                font.weight: Font.Medium
                font.pixelSize: 11
                color: Qt.rgba(1, 1, 1, 0.75)
            }
            Text {
                objectName: "degrees"
                text: row.degrees
                textFormat: Text.PlainText
                font.family: "DejaVu Sans Mono"
                font.bold: true
                font.pixelSize: 11
                color: isNaN(row.celsius) ? AppPalette.textSecondary : (ThemeManager.theme, Fmt.temperatureColor(row.celsius))
            }
        }
    }
}
