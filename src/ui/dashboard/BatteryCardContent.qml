import QtQuick
import QtQuick.Layouts
import Corvane

// "BATERIE & ALIMENTARE": charge ring with health, cycles, temperature and voltage, and while
// on external power the adapter with the power on the cable and into the battery. Without a
// battery the ring and the figures read "—" instead of a draining 0 %.
ColumnLayout {
    id: content

    property var battery: null
    property real percentage: 0
    property bool isLow: false
    property bool shimmer: false
    readonly property bool glows: GraphicsInfo.api !== GraphicsInfo.Software && GraphicsInfo.api !== GraphicsInfo.Unknown
    readonly property bool charging: battery ? battery.isCharging : false
    readonly property bool absent: battery ? !battery.hasBattery : true
    // A figure the battery never reported (or reported out of its physical range) is
    // undefined and reads "—".
    function known(v) { return v !== null && v !== undefined }
    readonly property bool chargeKnown: !absent && known(battery.percentage)

    spacing: 10

    component SmallLabel: Text {
        textFormat: Text.PlainText
        font.family: "Quicksand"
        font.weight: Font.Black
        font.pixelSize: 9
        font.letterSpacing: 1.3
        color: Qt.rgba(1, 1, 1, 0.45)
    }
    component Figure: Text {
        textFormat: Text.PlainText
        font.family: "DejaVu Sans Mono"
        font.bold: true
        font.pixelSize: 12
        color: "white"
    }
    component IconLabel: Row {
        property string icon
        property string text
        property color tone: AppPalette.textSecondary
        property int size: 10
        property string family: "Inter"
        property int weight: Font.Normal
        spacing: 3
        SymbolIcon {
            anchors.verticalCenter: parent.verticalCenter
            symbol: parent.icon
            pointSize: parent.size
            color: parent.tone
        }
        Text {
            objectName: "text"
            anchors.verticalCenter: parent.verticalCenter
            text: parent.text
            textFormat: Text.PlainText
            font.family: parent.family
            font.weight: parent.weight
            font.pixelSize: parent.size
            color: parent.tone
        }
    }

    RowLayout {
        spacing: 14
        Layout.fillWidth: true

        AnimatedRing {
            objectName: "ring"
            Layout.preferredWidth: 92
            Layout.preferredHeight: 92
            value: content.absent ? 0 : content.percentage / 100
            gradient: content.isLow ? AppPalette.alertGradient : AppPalette.batteryGradient
            glowColor: content.isLow ? ThemeManager.critical : ThemeManager.good
            centerText: content.chargeKnown ? Fmt.fixed(content.percentage, 0) + "%" : "—"
            centerValue: content.percentage
            centerFormat: content.chargeKnown ? (v) => Fmt.fixed(v, 0) + "%" : (v) => "—"
            subText: content.absent ? "—" : content.charging ? "CHARGE" : "DRAIN"
            lineWidth: 12
            showShimmer: content.shimmer && !content.absent
            animated: content.shimmer
            tickCount: 60
        }

        ColumnLayout {
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignVCenter
            spacing: 6
            RowLayout {
                Layout.fillWidth: true
                SmallLabel { text: "Sănătate" }
                Item { Layout.fillWidth: true }
                Figure {
                    objectName: "health"
                    text: content.absent || !content.known(content.battery.healthPercentage) ? "—"
                                                                         : DashboardRules.whole(content.battery.healthPercentage) + "%"
                    color: ThemeManager.good
                }
            }
            RowLayout {
                Layout.fillWidth: true
                SmallLabel { text: "Cicluri" }
                Item { Layout.fillWidth: true }
                Figure {
                    objectName: "cycles"
                    text: content.absent || !content.known(content.battery.cycleCount) ? "—"
                                                                                       : DashboardRules.whole(content.battery.cycleCount)
                }
            }
            Row {
                spacing: 8
                IconLabel {
                    objectName: "temperature"
                    icon: "thermometer.medium"
                    text: content.absent || !content.known(content.battery.temperatureCelsius) ? "—"
                                                                              : Fmt.fixed(content.battery.temperatureCelsius, 1) + "°"
                }
                IconLabel {
                    objectName: "voltage"
                    icon: "bolt.fill"
                    text: content.absent || !content.known(content.battery.voltage) ? "—"
                                                                                    : Fmt.fixed(content.battery.voltage, 2) + "V"
                }
            }
        }
    }

    Rectangle {
        visible: content.charging
        Layout.fillWidth: true
        implicitHeight: 1
        color: Qt.rgba(1, 1, 1, 0.08)
    }

    ColumnLayout {
        objectName: "adapter"
        visible: content.charging
        Layout.fillWidth: true
        spacing: 6

        RowLayout {
            spacing: 8
            Layout.fillWidth: true
            Rectangle {
                Layout.preferredWidth: 22
                Layout.preferredHeight: 22
                radius: 6
                color: Qt.alpha(ThemeManager.accent, 0.25)
                SymbolIcon {
                    anchors.centerIn: parent
                    symbol: "powerplug.fill"
                    pointSize: 11
                    bold: true
                    color: ThemeManager.accent
                }
            }
            ColumnLayout {
                spacing: 0
                Layout.fillWidth: true
                Text {
                    objectName: "adapterName"
                    Layout.fillWidth: true
                    text: content.battery && content.battery.adapterName !== undefined && content.battery.adapterName !== null
                          ? content.battery.adapterName : "Adaptor AC"
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    maximumLineCount: 1
                    font.family: "Quicksand"
                    font.bold: true
                    font.pixelSize: 11
                    color: "white"
                }
                Text {
                    objectName: "adapterMax"
                    visible: content.battery ? content.battery.adapterMaxWatts > 0 : false
                    text: "Maxim " + (content.battery ? DashboardRules.whole(content.battery.adapterMaxWatts) : "0") + " W"
                    textFormat: Text.PlainText
                    font.family: "Quicksand"
                    font.weight: Font.Medium
                    font.pixelSize: 9
                    color: AppPalette.textSecondary
                }
            }
        }

        ColumnLayout {
            spacing: 3
            Layout.fillWidth: true
            RowLayout {
                Layout.fillWidth: true
                SmallLabel { text: "PE CABLU"; color: AppPalette.textSecondary }
                Item { Layout.fillWidth: true }
                Text {
                    objectName: "cableWatts"
                    // Most mains adapters report no power: a dash, not a measured 0.0 W.
                    text: content.battery && content.known(content.battery.adapterDeliveringWatts)
                          ? Fmt.fixed(content.battery.adapterDeliveringWatts, 1) + " W" : "—"
                    textFormat: Text.PlainText
                    font.family: "DejaVu Sans Mono"
                    font.bold: true
                    font.pixelSize: 14
                    color: ThemeManager.accent
                    layer.enabled: content.glows
                    layer.effect: DropShadowEffect {
                        color: Qt.alpha(ThemeManager.accent, 0.5)
                        radius: 6
                        samples: 13
                        transparentBorder: true
                    }
                    GlowHalo {
                        text: parent.text
                        font: parent.font
                        color: Qt.alpha(ThemeManager.accent, 0.5)
                        radius: 6
                        color2: Qt.alpha(ThemeManager.accent, 0.3)
                        radius2: 2.4
                    }
                }
            }
            Item {
                id: cableBar
                Layout.fillWidth: true
                implicitHeight: 6
                readonly property real fill: content.battery && content.known(content.battery.adapterDeliveringWatts)
                    ? DashboardRules.adapterFill(content.battery.adapterDeliveringWatts, content.battery.adapterMaxWatts) : 0
                Rectangle {
                    anchors.fill: parent
                    radius: 3
                    color: Qt.rgba(1, 1, 1, 0.07)
                }
                Rectangle {
                    objectName: "cableFill"
                    height: parent.height
                    width: parent.width * cableBar.fill
                    visible: width > 0
                    radius: 3
                    gradient: Gradient {
                        orientation: Gradient.Horizontal
                        GradientStop { position: 0; color: ThemeManager.accent }
                        GradientStop { position: 1; color: ThemeManager.good }
                    }
                    layer.enabled: content.glows
                    layer.effect: DropShadowEffect {
                        color: Qt.alpha(ThemeManager.accent, 0.65)
                        radius: 6
                        samples: 13
                        transparentBorder: true
                    }
                    GlowHalo {
                        cornerRadius: 3
                        color: Qt.alpha(ThemeManager.accent, 0.65)
                        radius: 6
                    }
                }
            }
        }

        RowLayout {
            spacing: 14
            Layout.fillWidth: true
            IconLabel {
                objectName: "adapterVolts"
                icon: "waveform.path"
                text: content.battery && content.known(content.battery.adapterVoltageV)
                      ? Fmt.fixed(content.battery.adapterVoltageV, 2) + " V" : "—"
                family: "DejaVu Sans Mono"
                weight: Font.DemiBold
            }
            IconLabel {
                objectName: "adapterAmps"
                icon: "arrow.right.circle"
                text: content.battery && content.known(content.battery.adapterCurrentA)
                      ? Fmt.fixed(content.battery.adapterCurrentA, 2) + " A" : "—"
                family: "DejaVu Sans Mono"
                weight: Font.DemiBold
            }
            Item { Layout.fillWidth: true }
            IconLabel {
                objectName: "batteryWatts"
                icon: "battery.100.bolt"
                text: (content.battery && content.known(content.battery.chargingPowerW)
                       ? Fmt.fixed(content.battery.chargingPowerW, 1) + " W" : "—") + " → bat"
                tone: ThemeManager.good
                family: "DejaVu Sans Mono"
                weight: Font.DemiBold
            }
        }
    }
}
