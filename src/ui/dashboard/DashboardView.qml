import QtQuick
import QtQuick.Layouts
import QtQuick.Window
import QtQuick.Controls.Basic
import QtQuick.Templates as T
import Corvane

// The live dashboard: header with greeting and clock, five status chips and four grids of
// cards fed by the hub's monitors. It samples nothing: values arrive with the monitors'
// snapshots, and its only timer is the one-second clock, which runs only while shown.
Item {
    id: screen
    objectName: "dashboard"

    // The hub; named appState because Item already has a state.
    property var appState: AppState
    // The quick test whose sheet is open ("" for none).
    property string activeQuickTest: ""
    readonly property alias clockTick: clockTimer.now
    // Starred sensors ("smc.favoriteKeys").
    readonly property alias favorites: favoriteStore

    // On screen: the clock ticks and the rings shimmer only then.
    readonly property bool onScreen: visible && Window.window !== null && Window.window.visible
                                     && !(appState && appState.visualsPaused)
    // Continuous animations need the hardware scene graph; the software one keeps still.
    readonly property bool animate: onScreen && GraphicsInfo.api !== GraphicsInfo.Software
                                    && GraphicsInfo.api !== GraphicsInfo.Unknown

    readonly property var battery: appState ? appState.battery : null
    readonly property real batteryPct: battery ? battery.percentage ?? 0 : 0
    readonly property bool batteryMissing: battery ? !battery.hasBattery : true
    readonly property bool batteryLow: !batteryMissing && battery.percentage !== undefined
                                       && DashboardRules.batteryLow(batteryPct, battery.isCharging)

    FavoriteSensors {
        id: favoriteStore
        smc: screen.appState ? screen.appState.smc : null
    }

    // In the main window's tab stack the page is on screen only once its transition in has
    // ended; a page on its way out leaves the request to the next one.
    readonly property bool settled: StackView.view === null || StackView.status === StackView.Active

    // A quick test asked for elsewhere (--openCard=) opens here once the page is shown: the
    // request is taken and cleared, so it opens once.
    function consumePendingQuickTest() {
        if (!visible || !settled || !appState || appState.pendingQuickTest === "")
            return
        const kind = appState.pendingQuickTest
        appState.pendingQuickTest = ""
        activeQuickTest = kind
    }
    function openQuickTest(kind) {
        activeQuickTest = kind
    }
    function openTileTest(kind) {
        Haptics.perform(Haptics.Generic)
        activeQuickTest = kind
    }

    Component.onCompleted: consumePendingQuickTest()
    onVisibleChanged: consumePendingQuickTest()
    onSettledChanged: consumePendingQuickTest()
    Connections {
        target: screen.appState
        function onPendingQuickTestChanged() { screen.consumePendingQuickTest() }
    }

    // The one-second clock; the header and the tiles change in the same frame as the snapshot.
    WallClock {
        id: clockTimer
        objectName: "clockTimer"
        steps: screen.appState ? screen.appState.system : null
        running: screen.onScreen
    }

    onActiveQuickTestChanged: {
        if (activeQuickTest !== "")
            sheet.open()
        else
            sheet.close()
    }

    KeepsPlace {
        flickable: scroller
        key: "live"
    }

    Flickable {
        id: scroller
        objectName: "scroller"
        anchors.fill: parent
        contentWidth: width
        contentHeight: page.height + 48
        boundsBehavior: Flickable.StopAtBounds
        clip: true
        ScrollBar.vertical: ScrollBar { policy: ScrollBar.AlwaysOn }

        ColumnLayout {
            id: page
            objectName: "page"
            width: Math.min(scroller.width - 48, 1232)
            x: Math.round((scroller.width - width) / 2)
            y: 24
            spacing: 18

            DashboardHeader {
                Layout.fillWidth: true
                clockTick: screen.clockTick
                fps: screen.appState ? screen.appState.fps.currentFPS : 0
            }

            RowLayout {
                objectName: "chips"
                Layout.fillWidth: true
                spacing: 12
                IndicatorLight {
                    objectName: "chip.camera"
                    Layout.fillWidth: true
                    Layout.preferredWidth: 10
                    label: "Cameră"
                    isOn: screen.appState ? screen.appState.camera.isCameraOn : false
                    onColor: ThemeManager.good
                    icon: "video.fill"
                    showRec: true
                }
                IndicatorLight {
                    objectName: "chip.mic"
                    Layout.fillWidth: true
                    Layout.preferredWidth: 10
                    label: "Microfon"
                    isOn: screen.appState ? screen.appState.mic.isMicrophoneOn : false
                    onColor: ThemeManager.warning
                    icon: "mic.fill"
                    showRec: true
                }
                IndicatorLight {
                    objectName: "chip.power"
                    Layout.fillWidth: true
                    Layout.preferredWidth: 10
                    label: "Alimentare"
                    isOn: screen.battery ? screen.battery.isCharging : false
                    onColor: ThemeManager.accent
                    icon: "bolt.fill"
                }
                IndicatorLight {
                    objectName: "chip.low"
                    Layout.fillWidth: true
                    Layout.preferredWidth: 10
                    label: "Sub 20%"
                    isOn: screen.battery ? DashboardRules.lowBatteryChip(screen.battery.percentage ?? 0, screen.battery.isCharging) : false
                    onColor: ThemeManager.critical
                    icon: "battery.25percent"
                }
                IndicatorLight {
                    objectName: "chip.thermal"
                    Layout.fillWidth: true
                    Layout.preferredWidth: 10
                    label: "Termal"
                    isOn: screen.battery ? DashboardRules.thermalChip(screen.battery.temperatureCelsius ?? 0) : false
                    onColor: ThemeManager.critical
                    icon: "thermometer.high"
                }
            }

            // Row 1: CPU, RAM and GPU tiles (each opens its test) and the display card.
            RowLayout {
                objectName: "metricRow"
                Layout.fillWidth: true
                spacing: 14
                DashboardCell {
                    index: 0
                    cardHeight: cpuCard.implicitHeight
                    HoverGlassCard {
                        id: cpuCard
                        objectName: "card.cpu"
                        anchors.fill: parent
                        title: "CPU"
                        icon: "cpu"
                        accent: AppPalette.cpuGradient
                        accentColor: ThemeManager.accent
                        ColumnLayout {
                            width: parent.width
                            spacing: 10
                            MetricTileContent {
                                Layout.fillWidth: true
                                readonly property var sys: screen.appState ? screen.appState.system : null
                                fraction: sys ? sys.cpuUsage : 0
                                gradient: AppPalette.cpuGradient
                                tone: ThemeManager.accent
                                subText: "LOAD"
                                samples: sys ? sys.cpuHistory.samples : []
                                shimmer: screen.animate
                                firstText: "UPTIME"
                                firstSize: 9
                                firstWeight: Font.Black
                                firstTracking: 1.3
                                firstColor: Qt.rgba(1, 1, 1, 0.45)
                                secondText: DashboardRules.uptime(sys ? sys.uptimeSeconds : 0)
                                secondSize: 14
                                secondWeight: Font.DemiBold
                                secondColor: "white"
                                secondFamily: "DejaVu Sans Mono"
                            }
                        }
                    }
                    TapHandler { onTapped: screen.openTileTest("cpu") }
                }
                DashboardCell {
                    index: 1
                    cardHeight: ramCard.implicitHeight
                    HoverGlassCard {
                        id: ramCard
                        objectName: "card.ram"
                        anchors.fill: parent
                        title: "RAM"
                        icon: "memorychip"
                        accent: AppPalette.ramGradient
                        accentColor: ThemeManager.good
                        MetricTileContent {
                            width: parent.width
                            readonly property var sys: screen.appState ? screen.appState.system : null
                            fraction: sys ? sys.ramPressure : 0
                            gradient: AppPalette.ramGradient
                            tone: ThemeManager.good
                            subText: "USED"
                            samples: sys ? sys.ramHistory.samples : []
                            shimmer: screen.animate
                            firstText: DashboardRules.byteCount(sys ? sys.ramUsedBytes : 0)
                            firstFamily: "DejaVu Sans Mono"
                            secondText: "din " + DashboardRules.byteCount(sys ? sys.ramTotalBytes : 0)
                        }
                    }
                    TapHandler { onTapped: screen.openTileTest("ram") }
                }
                DashboardCell {
                    index: 2
                    cardHeight: gpuCard.implicitHeight
                    HoverGlassCard {
                        id: gpuCard
                        objectName: "card.gpu"
                        anchors.fill: parent
                        title: "GPU"
                        icon: "rectangle.on.rectangle.angled"
                        accent: AppPalette.gpuGradient
                        accentColor: ThemeManager.warning
                        MetricTileContent {
                            width: parent.width
                            readonly property var gpu: screen.appState ? screen.appState.gpu : null
                            fraction: gpu ? gpu.utilization : 0
                            measured: gpu ? gpu.utilizationKnown : false
                            gradient: AppPalette.gpuGradient
                            tone: ThemeManager.warning
                            subText: "UTIL"
                            samples: gpu ? gpu.history.samples : []
                            shimmer: screen.animate
                            firstText: gpu ? gpu.gpuName : "—"
                            firstSize: 11
                            // No VRAM counter (no GPU, or a driver without one): no figure.
                            secondText: "VRAM " + (gpu && gpu.vramUsedBytes > 0 ? DashboardRules.byteCount(gpu.vramUsedBytes) : "—")
                        }
                    }
                    TapHandler { onTapped: screen.openTileTest("gpu") }
                }
                DashboardCell {
                    index: 3
                    cardHeight: displayCard.implicitHeight
                    HoverGlassCard {
                        id: displayCard
                        objectName: "card.display"
                        anchors.fill: parent
                        title: "FPS / ECRAN"
                        icon: "tv"
                        accent: AppPalette.displayGradient
                        accentColor: ThemeManager.accentSecondary
                        DisplayCardContent {
                            width: parent.width
                            fps: screen.appState ? screen.appState.fps.currentFPS : 0
                            refreshHz: screen.appState ? screen.appState.fps.refreshNominalHz : 0
                            animate: screen.animate
                        }
                    }
                }
            }

            // Row 2: network, storage, battery and power.
            RowLayout {
                objectName: "throughputRow"
                Layout.fillWidth: true
                spacing: 14
                DashboardCell {
                    index: 4
                    cardHeight: networkCard.implicitHeight
                    HoverGlassCard {
                        id: networkCard
                        objectName: "card.network"
                        anchors.fill: parent
                        title: "REȚEA"
                        icon: "network"
                        accent: AppPalette.downloadGradient
                        accentColor: ThemeManager.accent
                        NetworkCardContent {
                            width: parent.width
                            network: screen.appState ? screen.appState.network : null
                            animate: screen.animate
                        }
                    }
                }
                DashboardCell {
                    index: 5
                    cardHeight: storageCard.implicitHeight
                    HoverGlassCard {
                        id: storageCard
                        objectName: "card.storage"
                        anchors.fill: parent
                        title: "SSD"
                        icon: "internaldrive"
                        accent: AppPalette.diskGradient
                        accentColor: Qt.rgba(1.0, 0.45, 0.70, 1)
                        StorageCardContent {
                            width: parent.width
                            storage: screen.appState ? screen.appState.storage : null
                            animate: screen.animate
                        }
                    }
                }
                DashboardCell {
                    index: 6
                    cardHeight: batteryCard.implicitHeight
                    HoverGlassCard {
                        id: batteryCard
                        objectName: "card.battery"
                        anchors.fill: parent
                        title: "BATERIE & ALIMENTARE"
                        icon: "bolt.batteryblock.fill"
                        accent: screen.batteryLow ? AppPalette.alertGradient : AppPalette.batteryGradient
                        accentColor: screen.batteryLow ? ThemeManager.critical : ThemeManager.good
                        BatteryCardContent {
                            width: parent.width
                            battery: screen.battery
                            percentage: screen.batteryPct
                            isLow: screen.batteryLow
                            shimmer: screen.animate
                        }
                    }
                }
            }

            // Row 3: temperatures and fans.
            RowLayout {
                objectName: "thermalRow"
                Layout.fillWidth: true
                spacing: 14
                DashboardCell {
                    index: 7
                    cardHeight: temperatureCard.implicitHeight
                    HoverGlassCard {
                        id: temperatureCard
                        objectName: "card.temperatures"
                        anchors.fill: parent
                        title: "TEMPERATURI"
                        icon: "thermometer.medium"
                        accent: AppPalette.cpuGradient
                        accentColor: ThemeManager.critical
                        TemperatureCardContent {
                            width: parent.width
                            smc: screen.appState ? screen.appState.smc : null
                            favorites: favoriteStore
                        }
                    }
                }
                DashboardCell {
                    index: 8
                    cardHeight: fanCard.implicitHeight
                    HoverGlassCard {
                        id: fanCard
                        objectName: "card.fans"
                        anchors.fill: parent
                        title: "VENTILATOARE"
                        icon: "fanblades.fill"
                        accent: AppPalette.cpuGradient
                        accentColor: Qt.alpha(ThemeManager.accentSecondary, 0.85)
                        FanCardContent {
                            width: parent.width
                            smc: screen.appState ? screen.appState.smc : null
                        }
                    }
                }
            }

            // Row 4: USB devices, Wi-Fi and the quick tests.
            RowLayout {
                objectName: "portsWiFiTestsRow"
                Layout.fillWidth: true
                spacing: 14
                DashboardCell {
                    index: 9
                    cardHeight: usbCard.implicitHeight
                    HoverGlassCard {
                        id: usbCard
                        objectName: "card.usb"
                        anchors.fill: parent
                        title: "PORTURI / USB"
                        icon: "cable.connector"
                        accent: AppPalette.cpuGradient
                        accentColor: Qt.alpha(ThemeManager.accentSecondary, 0.85)
                        UsbCardContent {
                            width: parent.width
                            usb: screen.appState ? screen.appState.usb : null
                        }
                    }
                }
                DashboardCell {
                    index: 10
                    cardHeight: wifiCard.implicitHeight
                    HoverGlassCard {
                        id: wifiCard
                        objectName: "card.wifi"
                        anchors.fill: parent
                        title: "WIFI"
                        icon: "wifi"
                        accent: AppPalette.cpuGradient
                        accentColor: ThemeManager.accent
                        WiFiCardContent {
                            width: parent.width
                            wifi: screen.appState ? screen.appState.wifi : null
                        }
                    }
                }
                DashboardCell {
                    index: 11
                    cardHeight: testsCard.implicitHeight
                    HoverGlassCard {
                        id: testsCard
                        objectName: "card.quickTests"
                        anchors.fill: parent
                        title: "TESTE RAPIDE"
                        icon: "bolt.shield"
                        accent: AppPalette.displayGradient
                        accentColor: ThemeManager.accentSecondary
                        QuickTestsGrid {
                            width: parent.width
                            onChosen: (kind) => screen.openQuickTest(kind)
                        }
                    }
                }
            }
        }
    }

    // The quick test's sheet: a fresh test screen for each opening.
    Popup {
        id: sheet
        objectName: "quickTestSheet"
        modal: true
        focus: true
        // Only × or Escape end a test: a stray click beside the sheet must not stop a disk
        // test or a tone.
        closePolicy: Popup.CloseOnEscape
        padding: 0
        x: Math.round((screen.width - width) / 2)
        y: Math.round((screen.height - height) / 2)
        width: Math.min(screen.width - 40, Math.max(420, panelLoader.item ? panelLoader.item.implicitWidth : 420))
        height: Math.min(screen.height - 40, Math.max(160, panelLoader.item ? panelLoader.item.implicitHeight : 160))
        background: Rectangle {
            radius: 16
            color: AppPalette.background
            border.color: AppPalette.cardStroke
        }
        T.Overlay.modal: Rectangle { color: Qt.rgba(0, 0, 0, 0.45) }
        onClosed: screen.activeQuickTest = ""
        contentItem: Loader {
            id: panelLoader
            active: screen.activeQuickTest !== ""
            sourceComponent: QuickTestPanel {
                objectName: "quickTestPanel"
                kind: screen.activeQuickTest
                onDismissed: screen.activeQuickTest = ""
            }
        }
    }
}
