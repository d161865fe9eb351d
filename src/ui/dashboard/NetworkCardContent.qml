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

    RowLayout {
        spacing: 22
        ThroughputBlock {
            objectName: "download"
            icon: "arrow.down"
            label: "Download"
            value: Fmt.bitRate(content.network ? content.network.downloadBytesPerSec : 0)
            color: ThemeManager.accent
        }
        ThroughputBlock {
            objectName: "upload"
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
