import QtQuick
import QtQuick.Layouts
import Corvane

// "REȚEA": download and upload rates, one sparkline each and the counted interface.
ColumnLayout {
    id: content

    property var network: null

    // The newest point pulses only where continuous animation is cheap.
    property bool animate: false

    spacing: 10

    // The two rates side by side, placed by bindings as a row layout would place them (whole
    // points): a layout moves the second one while the frame is being prepared, which costs
    // the window a second, empty frame each time the first one's width changes.
    Item {
        Layout.fillWidth: true
        implicitWidth: second.x + second.implicitWidth
        implicitHeight: Math.max(first.implicitHeight, second.implicitHeight)
        ThroughputBlock {
            id: first
            objectName: "download"
            y: Math.round((parent.height - height) / 2)
            icon: "arrow.down"
            label: "Download"
            value: Fmt.bitRate(content.network ? content.network.downloadBytesPerSec : 0)
            color: ThemeManager.accent
        }
        ThroughputBlock {
            id: second
            objectName: "upload"
            x: Math.ceil(first.implicitWidth) + 22
            y: Math.round((parent.height - height) / 2)
            icon: "arrow.up"
            label: "Upload"
            value: Fmt.bitRate(content.network ? content.network.uploadBytesPerSec : 0)
            color: ThemeManager.good
        }
    }
    Sparkline {
        Layout.fillWidth: true
        Layout.preferredHeight: 36
        samples: content.network ? content.network.downHistory.samples : []
        gradient: AppPalette.downloadGradient
        glowColor: ThemeManager.accent
        showPulse: content.animate
        showGrid: true
    }
    Sparkline {
        Layout.fillWidth: true
        Layout.preferredHeight: 36
        samples: content.network ? content.network.upHistory.samples : []
        gradient: AppPalette.uploadGradient
        glowColor: ThemeManager.good
        showPulse: content.animate
        showGrid: true
    }
    Row {
        spacing: 6
        SymbolIcon {
            anchors.verticalCenter: parent.verticalCenter
            symbol: "wifi"
            pointSize: 10
            color: AppPalette.textSecondary
        }
        Text {
            objectName: "interface"
            anchors.verticalCenter: parent.verticalCenter
            text: content.network ? content.network.primaryInterface : "—"
            textFormat: Text.PlainText
            font.family: "Quicksand"
            font.weight: Font.Medium
            font.pixelSize: 10
            color: AppPalette.textSecondary
        }
    }
}
