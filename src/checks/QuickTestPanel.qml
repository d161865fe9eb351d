import QtQuick
import Corvane

// The screen of one quick test, fresh each time a sheet opens it; the hub and the dashboard
// both show their tests through it. A screen ends the sheet through dismiss().
Item {
    id: panel
    // A QuickTestKind raw value ("ssd", "network", "cpu", "gpu", "pixel", "speakers", "ram").
    property string kind: ""
    signal dismissed()

    implicitWidth: loader.item ? loader.item.implicitWidth : 420
    implicitHeight: loader.item ? loader.item.implicitHeight : 160

        readonly property var screens: ({
        ssd: ssdScreen,
        network: networkScreen,
        cpu: cpuScreen,
        gpu: gpuScreen,
        pixel: pixelScreen,
        speakers: speakerScreen,
        ram: ramScreen
    })
    Component { id: ssdScreen; SSDSpeedTestView {} }
    Component { id: networkScreen; NetworkSpeedTestView {} }
    Component { id: cpuScreen; CPUStressTestView {} }
    Component { id: gpuScreen; GPUStressTestView {} }
    Component { id: pixelScreen; PixelTestView {} }
    Component { id: speakerScreen; SpeakerTestView {} }
    Component { id: ramScreen; RAMInfoView {} }

    Loader {
        id: loader
        anchors.fill: parent
        sourceComponent: panel.screens[panel.kind] !== undefined ? panel.screens[panel.kind] : null
    }
    Connections {
        target: loader.item
        ignoreUnknownSignals: true
        function onDismiss() { panel.dismissed() }
    }
}
