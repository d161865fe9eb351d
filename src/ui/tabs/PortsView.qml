import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// The ports and peripherals tab: USB count, estimated power and best speed, one row per
// display with its details, and the USB devices with their speed and power.
Item {
    id: screen
    property var appState: AppState
    property var themeManager: ThemeManager
    // The display under a pixel test (null for none). The tab asks for the test by setting it;
    // whoever shows the pixel test clears it when the test closes.
    property var pixelTestDisplay: null

    readonly property var devices: appState.usb.devices
    readonly property int bestSpeed: TabText.bestSpeedCodeOf(devices)

    KeepsPlace {
        flickable: scroller
        key: "ports"
    }

    Flickable {
        id: scroller
        objectName: "scroller"
        anchors.fill: parent
        contentWidth: width
        contentHeight: page.implicitHeight + 48
        boundsBehavior: Flickable.StopAtBounds
        clip: true
        ScrollBar.vertical: ScrollBar { policy: ScrollBar.AlwaysOn }

        ColumnLayout {
            id: page
            x: Math.max(0, (scroller.width - width) / 2)
            y: 24
            width: Math.min(scroller.width, 1100) - 48
            spacing: 18

            ColumnLayout {
                spacing: 4
                Text {
                    objectName: "sectionTitle"
                    text: "PORTURI & PERIFERICE"
                    textFormat: Text.PlainText
                    font.family: "Quicksand"
                    font.pixelSize: 10
                    font.weight: Font.Black
                    font.letterSpacing: 2.5
                    color: AppPalette.textSecondary
                }
                Text {
                    objectName: "header"
                    text: "Tot ce e conectat la acest computer"
                    textFormat: Text.PlainText
                    font.family: "Quicksand"
                    font.pixelSize: 26
                    font.bold: true
                    color: "white"
                }
            }

            GridLayout {
                Layout.fillWidth: true
                columns: 3
                columnSpacing: 14
                rowSpacing: 14

                HoverGlassCard {
                    objectName: "devicesTile"
                    Layout.fillWidth: true
                    Layout.preferredWidth: 10
                    Layout.fillHeight: true
                    title: "DISPOZITIVE"
                    icon: "cable.connector.horizontal"
                    accent: AppPalette.cpuGradient
                    accentColor: Qt.alpha(ThemeManager.accentSecondary, 0.85)
                    Column {
                        spacing: 2
                        TickerLabel {
                            objectName: "deviceCount"
                            value: screen.devices.length
                            format: (v) => Fmt.fixed(v, 0)
                            color: "white"
                            font.family: "DejaVu Sans Mono"
                            font.pixelSize: 40
                            font.bold: true
                        }
                        Text {
                            text: "conectate la USB / Thunderbolt"
                            textFormat: Text.PlainText
                            font.family: "Inter"
                            font.pixelSize: 11
                            color: AppPalette.textSecondary
                        }
                    }
                }
                HoverGlassCard {
                    objectName: "powerTile"
                    Layout.fillWidth: true
                    Layout.preferredWidth: 10
                    Layout.fillHeight: true
                    title: "PUTERE ESTIMATĂ"
                    icon: "bolt.fill"
                    accent: AppPalette.gpuGradient
                    accentColor: ThemeManager.warning
                    Column {
                        spacing: 2
                        TickerLabel {
                            objectName: "watts"
                            value: screen.appState.usb.totalEstimatedWatts
                            format: (v) => TabText.wattsText(v)
                            color: "white"
                            font.family: "DejaVu Sans Mono"
                            font.pixelSize: 36
                            font.bold: true
                        }
                        Text {
                            objectName: "milliAmps"
                            text: Fmt.fixed(screen.appState.usb.totalDrawnMilliAmps, 0) + " mA cerere totală"
                            textFormat: Text.PlainText
                            font.family: "Inter"
                            font.pixelSize: 11
                            color: AppPalette.textSecondary
                        }
                    }
                }
                HoverGlassCard {
                    objectName: "speedTile"
                    Layout.fillWidth: true
                    Layout.preferredWidth: 10
                    Layout.fillHeight: true
                    title: "VITEZA MAXIMĂ"
                    icon: "speedometer"
                    accent: AppPalette.displayGradient
                    accentColor: ThemeManager.accentSecondary
                    Column {
                        width: parent.width
                        spacing: 2
                        Text {
                            objectName: "bestSpeed"
                            width: parent.width
                            text: TabText.usbSpeedLabel(screen.bestSpeed)
                            textFormat: Text.PlainText
                            elide: Text.ElideRight
                            font.family: "Quicksand"
                            font.pixelSize: 20
                            font.bold: true
                            color: "white"
                        }
                        Text {
                            width: parent.width
                            text: "pe portul cu cea mai mare lățime de bandă"
                            textFormat: Text.PlainText
                            wrapMode: Text.Wrap
                            font.family: "Inter"
                            font.pixelSize: 11
                            color: AppPalette.textSecondary
                        }
                    }
                }
            }

            HoverGlassCard {
                objectName: "videoCard"
                Layout.fillWidth: true
                title: "VIDEO OUT · HDMI / DP / USB-C"
                icon: "tv.fill"
                accent: AppPalette.displayGradient
                accentColor: ThemeManager.accentSecondary

                Column {
                    width: parent.width
                    spacing: 10
                    Text {
                        objectName: "noDisplays"
                        visible: displayModel.count === 0
                        width: parent.width
                        topPadding: 18
                        bottomPadding: 18
                        horizontalAlignment: Text.AlignHCenter
                        text: "Niciun display detectat."
                        textFormat: Text.PlainText
                        font.family: "Inter"
                        font.pixelSize: 11
                        color: AppPalette.textSecondary
                    }
                    Repeater {
                        model: KeyedListModel {
                            id: displayModel
                            items: screen.appState.displays.displays
                        }
                        delegate: DisplayRow {
                            required property var item
                            width: parent.width
                            display: item
                            onTest: screen.pixelTestDisplay = item
                        }
                    }
                }
            }

            HoverGlassCard {
                objectName: "deviceCard"
                Layout.fillWidth: true
                title: "DETALII DISPOZITIVE"
                icon: "list.bullet.rectangle"
                accent: AppPalette.ramGradient
                accentColor: ThemeManager.good

                Column {
                    width: parent.width
                    spacing: 8
                    Column {
                        objectName: "noDevices"
                        visible: deviceModel.count === 0
                        width: parent.width
                        topPadding: 24
                        bottomPadding: 24
                        spacing: 10
                        SymbolIcon {
                            anchors.horizontalCenter: parent.horizontalCenter
                            symbol: "cable.connector"
                            pointSize: 26
                            color: Qt.rgba(1, 1, 1, 0.3)
                        }
                        Text {
                            anchors.horizontalCenter: parent.horizontalCenter
                            text: "Niciun dispozitiv USB extern detectat."
                            textFormat: Text.PlainText
                            font.family: "Inter"
                            font.pixelSize: 13
                            color: Qt.rgba(1, 1, 1, 0.55)
                        }
                    }
                    Repeater {
                        model: KeyedListModel {
                            id: deviceModel
                            items: screen.devices
                        }
                        delegate: PortDeviceRow {
                            required property var item
                            width: parent.width
                            device: item
                        }
                    }
                }
            }
        }
    }

    // The display pixel test over the tab, for the display whose row asked for it.
    Popup {
        id: pixelSheet
        objectName: "pixelTestSheet"
        x: (screen.width - width) / 2
        y: (screen.height - height) / 2
        modal: true
        // Takes the keys while open: Escape closes it, the arrows step through the colours.
        focus: true
        padding: 0
        visible: screen.pixelTestDisplay !== null
        closePolicy: Popup.CloseOnEscape
        background: Item {}
        onClosed: screen.pixelTestDisplay = null
        contentItem: Loader {
            focus: true
            active: screen.pixelTestDisplay !== null
            sourceComponent: DisplayPixelTestView {
                display: screen.pixelTestDisplay
                onDismiss: screen.pixelTestDisplay = null
            }
        }
    }
}
