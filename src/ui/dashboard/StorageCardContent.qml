import QtQuick
import QtQuick.Layouts
import Corvane

// "SSD": read and write rates, one sparkline each and the home volume's used space.
ColumnLayout {
    id: content

    property var storage: null
    readonly property var usage: DashboardRules.storageBar(storage ? storage.totalCapacityBytes : 0,
                                                           storage ? storage.freeCapacityBytes : 0)

    // The newest point pulses only where continuous animation is cheap.
    property bool animate: false

    spacing: 10

    RowLayout {
        spacing: 22
        ThroughputBlock {
            objectName: "read"
            icon: "arrow.down.circle"
            label: "Read"
            value: Fmt.byteRate(content.storage ? content.storage.readBytesPerSec : 0)
            color: ThemeManager.accent
        }
        ThroughputBlock {
            objectName: "write"
            icon: "arrow.up.circle"
            label: "Write"
            value: Fmt.byteRate(content.storage ? content.storage.writeBytesPerSec : 0)
            color: ThemeManager.warning
        }
    }
    Sparkline {
        Layout.fillWidth: true
        Layout.preferredHeight: 30
        samples: content.storage ? content.storage.readHistory.samples : []
        gradient: AppPalette.downloadGradient
        glowColor: ThemeManager.accent
        showPulse: content.animate
        showGrid: true
    }
    Sparkline {
        Layout.fillWidth: true
        Layout.preferredHeight: 30
        samples: content.storage ? content.storage.writeHistory.samples : []
        gradient: AppPalette.gpuGradient
        glowColor: ThemeManager.warning
        showPulse: content.animate
        showGrid: true
    }
    ProgressBarRow {
        objectName: "usage"
        Layout.fillWidth: true
        value: content.usage.fraction
        label: "Spațiu folosit"
        trailing: content.usage.trailing
        color: Qt.rgba(1.0, 0.45, 0.70, 1)
    }
}
