import QtQuick
import QtQuick.Layouts
import Corvane

// "WIFI": network name or state, security, signal strength with its word and bar, link rate
// and channel, and the location button while the permission is missing.
ColumnLayout {
    id: content

    property var wifi: null
    readonly property int rssi: wifi ? wifi.rssiDbm : 0
    // No Wi-Fi link at all reads 0 dBm: that is no signal, not an excellent one.
    readonly property bool noReading: !wifi || (rssi === 0 && !wifi.isConnected && !(wifi.transmitRateMbps > 0))
    readonly property color signalColor: {
        if (noReading)
            return AppPalette.textSecondary
        const role = DashboardRules.wifiRole(rssi)
        return role === "secondary" ? AppPalette.textSecondary : ThemeManager[role]
    }
    readonly property bool glows: GraphicsInfo.api !== GraphicsInfo.Software && GraphicsInfo.api !== GraphicsInfo.Unknown
    readonly property bool hasSsid: wifi !== null && wifi.ssid !== undefined && wifi.ssid !== null
    readonly property bool hasSecurity: wifi !== null && wifi.securityType !== undefined && wifi.securityType !== null
    readonly property bool hasChannel: wifi !== null && wifi.channelLabel !== undefined && wifi.channelLabel !== null

    signal locationRequested()

    spacing: 8

    RowLayout {
        Layout.fillWidth: true
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 2
            Text {
                objectName: "ssid"
                Layout.fillWidth: true
                text: content.hasSsid ? content.wifi.ssid : (content.wifi && content.wifi.isConnected ? "Conectat" : "Deconectat")
                textFormat: Text.PlainText
                elide: Text.ElideRight
                maximumLineCount: 1
                font.family: "Quicksand"
                font.bold: true
                font.pixelSize: 13
                color: "white"
            }
            Text {
                objectName: "security"
                visible: content.hasSecurity
                text: content.hasSecurity ? content.wifi.securityType : ""
                textFormat: Text.PlainText
                font.family: "Inter"
                font.pixelSize: 10
                color: AppPalette.textSecondary
            }
        }
        SymbolIcon {
            objectName: "signalSymbol"
            symbol: content.noReading ? "wifi.slash" : DashboardRules.wifiSymbol(content.rssi)
            pointSize: 22
            bold: true
            color: content.signalColor
            layer.enabled: content.glows
            layer.effect: DropShadowEffect {
                color: Qt.alpha(content.signalColor, 0.6)
                radius: 8
                samples: 17
                transparentBorder: true
            }
            GlowHalo {
                text: parent.text
                font: parent.font
                alignment: Qt.AlignHCenter | Qt.AlignVCenter
                color: Qt.alpha(content.signalColor, 0.6)
                radius: 8
                color2: Qt.alpha(content.signalColor, 0.36)
                radius2: 3.2
            }
        }
    }

    ColumnLayout {
        Layout.fillWidth: true
        spacing: 4
        RowLayout {
            Layout.fillWidth: true
            Text {
                text: "SEMNAL"
                textFormat: Text.PlainText
                font.family: "Quicksand"
                font.weight: Font.Black
                font.pixelSize: 9
                font.letterSpacing: 1.3
                color: Qt.rgba(1, 1, 1, 0.45)
            }
            Item { Layout.fillWidth: true }
            Text {
                objectName: "rssi"
                text: content.noReading ? "— dBm" : content.rssi + " dBm"
                textFormat: Text.PlainText
                font.family: "DejaVu Sans Mono"
                font.bold: true
                font.pixelSize: 11
                color: "white"
            }
            Text {
                objectName: "quality"
                text: content.noReading ? "—" : DashboardRules.wifiWord(content.rssi)
                textFormat: Text.PlainText
                font.family: "Inter"
                font.pixelSize: 11
                color: content.signalColor
            }
        }
        Item {
            Layout.fillWidth: true
            implicitHeight: 6
            Rectangle {
                anchors.fill: parent
                radius: 3
                color: Qt.rgba(1, 1, 1, 0.07)
            }
            Rectangle {
                objectName: "signalFill"
                height: parent.height
                width: content.noReading ? 0 : parent.width * DashboardRules.wifiBar(content.rssi)
                visible: width > 0
                radius: 3
                color: content.signalColor
                layer.enabled: content.glows
                layer.effect: DropShadowEffect {
                    color: Qt.alpha(content.signalColor, 0.65)
                    radius: 4
                    samples: 9
                    transparentBorder: true
                }
                GlowHalo {
                    cornerRadius: 3
                    color: Qt.alpha(content.signalColor, 0.65)
                    radius: 4
                }
            }
        }
    }

    RowLayout {
        objectName: "linkRow"
        visible: content.wifi ? content.wifi.transmitRateMbps > 0 : false
        spacing: 12
        Row {
            spacing: 4
            SymbolIcon {
                anchors.verticalCenter: parent.verticalCenter
                symbol: "antenna.radiowaves.left.and.right"
                pointSize: 10
                color: ThemeManager.good
            }
            Text {
                objectName: "rate"
                anchors.verticalCenter: parent.verticalCenter
                text: Fmt.fixed(content.wifi ? content.wifi.transmitRateMbps : 0, 0) + " Mbps"
                textFormat: Text.PlainText
                font.family: "DejaVu Sans Mono"
                font.bold: true
                font.pixelSize: 10
                color: ThemeManager.good
            }
        }
        Row {
            visible: content.hasChannel
            spacing: 4
            SymbolIcon {
                anchors.verticalCenter: parent.verticalCenter
                symbol: "dot.radiowaves.up.forward"
                pointSize: 10
                color: AppPalette.textSecondary
            }
            Text {
                objectName: "channel"
                anchors.verticalCenter: parent.verticalCenter
                text: content.hasChannel ? content.wifi.channelLabel : ""
                textFormat: Text.PlainText
                font.family: "Inter"
                font.pixelSize: 10
                color: AppPalette.textSecondary
            }
        }
    }

    Row {
        objectName: "locationButton"
        visible: content.wifi ? !content.wifi.locationAuthorized : false
        spacing: 4
        SymbolIcon {
            anchors.verticalCenter: parent.verticalCenter
            symbol: "location"
            pointSize: 11
            color: ThemeManager.warning
        }
        Text {
            anchors.verticalCenter: parent.verticalCenter
            text: "Activează detecția SSID (Location)"
            textFormat: Text.PlainText
            font.family: "Inter"
            font.pixelSize: 11
            color: ThemeManager.warning
        }
        TapHandler {
            onTapped: {
                Haptics.perform(Haptics.Generic)
                if (content.wifi)
                    content.wifi.locationAuthorizationDidChange()
                content.locationRequested()
            }
        }
    }
}
