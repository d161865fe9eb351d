import QtQuick
import QtQuick.Layouts
import Corvane

// Who the application is, its shortcuts, where to find its makers and what it keeps
// private. A finished card that a screen can place anywhere.
HoverGlassCard {
    id: card
    objectName: "helpAboutCard"

    title: "HELP & DESPRE"
    icon: "info.circle"
    accent: AppPalette.displayGradient
    accentColor: ThemeManager.accentSecondary
    implicitWidth: 620

    readonly property string makerName: "Skerrin Labs"
    readonly property string webDomain: "corvane.app"
    readonly property string supportAddress: "support@corvane.app"

    readonly property var shortcuts: [
        { text: "Bar Mode (sus pe ecran)", keys: "Ctrl+D" },
        { text: "Mod Desktop (lipit pe wallpaper)", keys: "Ctrl+Shift+D" },
        { text: "Adu fereastra în față", keys: "Ctrl+Shift+F" },
        { text: "Closebar / fereastra", keys: "Ctrl+W" }
    ]

    readonly property var links: [
        { symbol: "globe", title: "Site oficial", subtitle: webDomain,
          tint: ThemeManager.accent, target: "https://" + webDomain },
        { symbol: "envelope", title: "Suport email", subtitle: supportAddress,
          tint: ThemeManager.good, target: "mailto:" + supportAddress },
        { symbol: "lock.shield", title: "Politica privacy", subtitle: "Tot e local. Zero telemetrie.",
          tint: ThemeManager.accentSecondary, target: "https://" + webDomain + "/privacy" },
        { symbol: "arrow.triangle.2.circlepath", title: "Update-uri", subtitle: "Verifică versiunea curentă",
          tint: ThemeManager.warning, target: "https://" + webDomain + "/releases" }
    ]

    readonly property var privacyLines: [
        "Niciun byte nu pleacă în cloud. Totul local.",
        "Niciun tracking, niciun analytics, nicio reclamă.",
        "Crash log + privacy history rămân pe acest computer, accesibile doar de tine.",
        "Codul folosește doar API-uri publice Linux (V4L2, PulseAudio, sysfs/procfs, EDS, nl80211, XDG autostart)."
    ]

    function withAlpha(c, a) { return Qt.rgba(c.r, c.g, c.b, a) }

    component Divider: Rectangle {
        Layout.fillWidth: true
        implicitHeight: 1
        color: Qt.rgba(1, 1, 1, 0.1)
    }

    component Heading: Text {
        textFormat: Text.PlainText
        font.family: "Quicksand"
        font.pixelSize: 9
        font.weight: Font.Black
        font.letterSpacing: 1.5
        color: Qt.rgba(1, 1, 1, 0.55)
    }

    component IdentityPill: Rectangle {
        id: pill
        property string label
        property string value
        property color tint
        property real valueSize: 12
        implicitWidth: pillColumn.implicitWidth + 16
        implicitHeight: pillColumn.implicitHeight + 8
        radius: height / 2
        color: card.withAlpha(tint, 0.15)
        Column {
            id: pillColumn
            x: 8
            y: 4
            spacing: 1
            Text {
                text: pill.label
                textFormat: Text.PlainText
                font.family: "Quicksand"
                font.pixelSize: 8
                font.weight: Font.Black
                font.letterSpacing: 1.4
                color: Qt.rgba(1, 1, 1, 0.45)
            }
            Text {
                objectName: "pillValue"
                text: pill.value
                textFormat: Text.PlainText
                maximumLineCount: 1
                elide: Text.ElideRight
                width: Math.min(implicitWidth, 220)
                font.family: "Quicksand"
                font.pixelSize: pill.valueSize
                font.bold: true
                color: pill.tint
            }
        }
    }

    ColumnLayout {
        width: parent.width
        spacing: 14

        // Header row: logo and identity.
        RowLayout {
            Layout.fillWidth: true
            spacing: 16
            ParallaxLogo {
                size: 72
                Layout.alignment: Qt.AlignTop
            }
            ColumnLayout {
                Layout.alignment: Qt.AlignTop
                Layout.fillWidth: true
                spacing: 4
                Text {
                    text: "Corvane Skerrin Widget"
                    textFormat: Text.PlainText
                    font.family: "Quicksand"
                    font.pixelSize: 16
                    font.weight: Font.Black
                    color: "white"
                }
                Text {
                    objectName: "makerLine"
                    text: card.makerName
                    textFormat: Text.PlainText
                    font.family: "Quicksand"
                    font.pixelSize: 12
                    font.weight: Font.DemiBold
                    color: ThemeManager.accent
                }
                Row {
                    spacing: 10
                    IdentityPill {
                        objectName: "versionPill"
                        anchors.verticalCenter: parent.verticalCenter
                        label: "VERSIUNE"
                        value: HelpAbout.version()
                        tint: ThemeManager.accent
                    }
                    IdentityPill {
                        objectName: "buildPill"
                        anchors.verticalCenter: parent.verticalCenter
                        label: "BUILD"
                        value: HelpAbout.build()
                        tint: ThemeManager.good
                    }
                    IdentityPill {
                        objectName: "bundlePill"
                        anchors.verticalCenter: parent.verticalCenter
                        label: "BUNDLE"
                        value: HelpAbout.bundleIdentifier()
                        valueSize: 9
                        tint: ThemeManager.accentSecondary
                    }
                }
                Text {
                    Layout.fillWidth: true
                    topPadding: 4
                    text: "Monitor de sistem nativ pentru Linux — privacy, performance, hardware tests și PDF report, totul local."
                    textFormat: Text.PlainText
                    wrapMode: Text.WordWrap
                    font.family: "Quicksand"
                    font.pixelSize: 11
                    color: Qt.rgba(1, 1, 1, 0.65)
                }
            }
        }

        Divider {}

        // Shortcuts, two per line in reading order.
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 8
            Heading { text: "SCURTĂTURI" }
            GridLayout {
                objectName: "shortcutGrid"
                Layout.fillWidth: true
                columns: 2
                columnSpacing: 10
                rowSpacing: 8
                Repeater {
                    model: card.shortcuts
                    delegate: RowLayout {
                        required property var modelData
                        objectName: "shortcut_" + modelData.keys
                        Layout.fillWidth: true
                        Layout.preferredWidth: 1
                        Layout.topMargin: 4
                        Layout.bottomMargin: 4
                        spacing: 8
                        Text {
                            text: modelData.text
                            textFormat: Text.PlainText
                            Layout.fillWidth: true
                            elide: Text.ElideRight
                            font.family: "Quicksand"
                            font.pixelSize: 11
                            color: Qt.rgba(1, 1, 1, 0.8)
                        }
                        Row {
                            spacing: 3
                            Repeater {
                                model: HelpAbout.keyCaps(modelData.keys)
                                delegate: Rectangle {
                                    required property string modelData
                                    objectName: "keyCap"
                                    implicitWidth: capText.implicitWidth + 12
                                    implicitHeight: capText.implicitHeight + 4
                                    radius: 5
                                    color: Qt.rgba(1, 1, 1, 0.08)
                                    Text {
                                        id: capText
                                        anchors.centerIn: parent
                                        text: modelData
                                        textFormat: Text.PlainText
                                        font.family: "Quicksand"
                                        font.pixelSize: 10
                                        font.weight: Font.Black
                                        color: "white"
                                    }
                                }
                            }
                        }
                    }
                }
            }
        }

        Divider {}

        // Links.
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 8
            Heading { text: "LINK-URI" }
            GridLayout {
                Layout.fillWidth: true
                columns: 2
                columnSpacing: 10
                rowSpacing: 8
                Repeater {
                    model: card.links
                    delegate: Item {
                        id: link
                        required property var modelData
                        objectName: "link_" + modelData.title
                        Layout.fillWidth: true
                        Layout.preferredWidth: 1
                        implicitHeight: linkRow.implicitHeight + 16

                        Rectangle {
                            anchors.fill: parent
                            radius: 10
                            color: Qt.rgba(1, 1, 1, 0.04)
                            border.width: 1
                            border.color: card.withAlpha(link.modelData.tint, 0.2)
                        }
                        RowLayout {
                            id: linkRow
                            x: 10
                            y: 8
                            width: parent.width - 20
                            spacing: 10
                            Rectangle {
                                implicitWidth: 30
                                implicitHeight: 30
                                radius: 8
                                color: card.withAlpha(link.modelData.tint, 0.18)
                                SymbolIcon {
                                    anchors.centerIn: parent
                                    symbol: link.modelData.symbol
                                    pointSize: 13
                                    bold: true
                                    color: link.modelData.tint
                                }
                            }
                            Column {
                                Layout.fillWidth: true
                                spacing: 1
                                Text {
                                    text: link.modelData.title
                                    textFormat: Text.PlainText
                                    font.family: "Quicksand"
                                    font.pixelSize: 11
                                    font.bold: true
                                    color: "white"
                                }
                                Text {
                                    width: parent.width
                                    text: link.modelData.subtitle
                                    textFormat: Text.PlainText
                                    maximumLineCount: 1
                                    elide: Text.ElideRight
                                    font.family: "Quicksand"
                                    font.pixelSize: 9
                                    color: Qt.rgba(1, 1, 1, 0.55)
                                }
                            }
                            SymbolIcon {
                                symbol: "arrow.up.right"
                                pointSize: 9
                                bold: true
                                color: Qt.rgba(1, 1, 1, 0.35)
                            }
                        }
                        // The whole rounded rectangle takes the click.
                        TapHandler {
                            onTapped: HelpAbout.openLink(link.modelData.target)
                        }
                        HoverHandler {
                            cursorShape: Qt.PointingHandCursor
                        }
                    }
                }
            }
        }

        Divider {}

        // Privacy statement and footer.
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 6
            Row {
                spacing: 6
                SymbolIcon {
                    anchors.verticalCenter: parent.verticalCenter
                    symbol: "checkmark.shield.fill"
                    pointSize: 11
                    bold: true
                    color: ThemeManager.good
                }
                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    text: "Privacy first"
                    textFormat: Text.PlainText
                    font.family: "Quicksand"
                    font.pixelSize: 11
                    font.weight: Font.Black
                    color: "white"
                }
            }
            ColumnLayout {
                Layout.fillWidth: true
                spacing: 4
                Repeater {
                    model: card.privacyLines
                    delegate: RowLayout {
                        required property string modelData
                        Layout.fillWidth: true
                        spacing: 6
                        Rectangle {
                            Layout.alignment: Qt.AlignTop
                            Layout.topMargin: 6
                            implicitWidth: 4
                            implicitHeight: 4
                            radius: 2
                            color: ThemeManager.good
                        }
                        Text {
                            Layout.fillWidth: true
                            text: modelData
                            textFormat: Text.PlainText
                            wrapMode: Text.WordWrap
                            font.family: "Quicksand"
                            font.pixelSize: 11
                            color: Qt.rgba(1, 1, 1, 0.72)
                        }
                    }
                }
            }
            RowLayout {
                Layout.fillWidth: true
                Layout.topMargin: 6
                Text {
                    text: "© " + card.makerName.toUpperCase()
                    textFormat: Text.PlainText
                    font.family: "Quicksand"
                    font.pixelSize: 9
                    font.weight: Font.Black
                    font.letterSpacing: 1.2
                    color: Qt.rgba(1, 1, 1, 0.35)
                }
                Item { Layout.fillWidth: true }
                Text {
                    text: "Made for Linux"
                    textFormat: Text.PlainText
                    font.family: "Quicksand"
                    font.pixelSize: 9
                    font.weight: Font.Black
                    font.letterSpacing: 1.2
                    color: Qt.rgba(1, 1, 1, 0.35)
                }
            }
        }
    }
}
