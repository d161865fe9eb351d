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

    // The two rates side by side, placed by bindings as a row layout would place them (whole
    // points): a layout moves the second one while the frame is being prepared, which costs
    // the window a second, empty frame each time the first one's width changes.
    Item {
        Layout.fillWidth: true
        implicitWidth: second.x + second.implicitWidth
        implicitHeight: Math.max(first.implicitHeight, second.implicitHeight)
        ThroughputBlock {
            id: first
            objectName: "read"
            y: Math.round((parent.height - height) / 2)
            icon: "arrow.down.circle"
            label: "Read"
            value: Fmt.byteRate(content.storage ? content.storage.readBytesPerSec : 0)
            color: ThemeManager.accent
        }
        ThroughputBlock {
            id: second
            objectName: "write"
            x: Math.ceil(first.implicitWidth) + 22
            y: Math.round((parent.height - height) / 2)
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
