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

    // Screens are added here as they are built; a kind without one shows the notice below.
    readonly property var screens: ({
        ssd: ssdScreen,
        network: networkScreen,
        speakers: speakerScreen,
        pixel: pixelScreen
    })
    Component { id: ssdScreen; SSDSpeedTestView {} }
    Component { id: networkScreen; NetworkSpeedTestView {} }
    Component { id: speakerScreen; SpeakerTestView {} }
    Component { id: pixelScreen; PixelTestView {} }

    Loader {
        id: loader
        anchors.fill: parent
        sourceComponent: panel.screens[panel.kind] !== undefined ? panel.screens[panel.kind] : notBuilt
    }
    Connections {
        target: loader.item
        ignoreUnknownSignals: true
        function onDismiss() { panel.dismissed() }
    }

    Component {
        id: notBuilt
        Item {
            signal dismiss()
            implicitWidth: 420
            implicitHeight: 160
            Column {
                anchors.centerIn: parent
                spacing: 14
                Text {
                    objectName: "notBuiltText"
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: "Acest test nu este încă disponibil."
                    textFormat: Text.PlainText
                    color: Qt.rgba(1, 1, 1, 0.8)
                    font.pixelSize: 14
                }
                HapticButton {
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: "Închide"
                    onClicked: parent.parent.dismiss()
                }
            }
        }
    }
}
