import QtQuick
import QtQuick.Window
import Corvane

// The main window. Its content is the live-figures page until the sidebar interface lands.
Window {
    id: root
    width: 1180
    height: 760
    minimumWidth: 1180
    minimumHeight: 760
    visible: true
    color: "#0b0d14"
    title: "Corvane Skerrin Widget"

    // The "Widget" commands; Ctrl stands for Command.
    Shortcut {
        sequence: "Ctrl+D"
        context: Qt.ApplicationShortcut
        onActivated: AppDelegate.toggleBarMode()
    }
    Shortcut {
        sequence: "Ctrl+Shift+D"
        context: Qt.ApplicationShortcut
        onActivated: AppDelegate.toggleDesktopMode()
    }
    Shortcut {
        sequence: "Ctrl+Shift+F"
        context: Qt.ApplicationShortcut
        onActivated: AppDelegate.bringToFront()
    }

    readonly property var sys: AppState.system
    readonly property var net: AppState.network
    readonly property var disk: AppState.storage
    readonly property var procs: AppState.processes

    function gb(bytes) { return Fmt.fixed(bytes / 1073741824, 1) + " GB" }

    Column {
        anchors.fill: parent
        anchors.margins: 20
        spacing: 6

        component Row2: Row {
            property string label
            property string value
            spacing: 12
            Text { width: 170; text: parent.label; color: "#8c8f99"; font.pixelSize: 14 }
            Text { text: parent.value; color: "white"; font.pixelSize: 14; textFormat: Text.PlainText }
        }

        Text { text: "CORVANE · LIVE"; color: "#59d9ff"; font.pixelSize: 16; font.bold: true }
        Row2 { label: "CPU"; value: Fmt.fixed(root.sys.cpuUsage * 100, 0) + "%" }
        Row2 { label: "RAM"; value: root.gb(root.sys.ramUsedBytes) + " / " + root.gb(root.sys.ramTotalBytes) }
        Row2 { label: "Uptime"; value: Fmt.fixed(root.sys.uptimeSeconds / 3600, 1) + " h" }
        Row2 { label: "Download"; value: Fmt.bitRate(root.net.downloadBytesPerSec) }
        Row2 { label: "Upload"; value: Fmt.bitRate(root.net.uploadBytesPerSec) }
        Row2 { label: "Interfață"; value: root.net.primaryInterface }
        Row2 { label: "Disc citire"; value: Fmt.byteRate(root.disk.readBytesPerSec) }
        Row2 { label: "Disc scriere"; value: Fmt.byteRate(root.disk.writeBytesPerSec) }
        Row2 { label: "Unitate"; value: root.disk.driveName }
        Row2 { label: "Liber"; value: root.gb(root.disk.freeCapacityBytes) + " / " + root.gb(root.disk.totalCapacityBytes) }
        Row2 { label: "Procese"; value: String(root.procs.totalProcesses) }
        Repeater {
            model: root.procs.topByCPU
            delegate: Row2 {
                required property var modelData
                label: modelData.name
                value: Fmt.fixed(modelData.cpuPercent, 1) + "% · " + root.gb(modelData.memoryBytes)
            }
        }
    }
}
