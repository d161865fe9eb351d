import QtQuick
import QtQuick.Layouts
import QtQuick.Controls.Basic
import Corvane

// The summary and actions behind the tray icon: privacy chips, load bars, traffic and
// battery, then the window actions, the toggles and quit. Values are read live.
Item {
    id: root

    readonly property bool glows: GraphicsInfo.api !== GraphicsInfo.Software && GraphicsInfo.api !== GraphicsInfo.Unknown

    // 320 wide; a little wider only when the platform's shortcut texts need the room.
    implicitWidth: Math.max(320, content.implicitWidth)
    implicitHeight: content.implicitHeight

    function withAlpha(c, a) { return Qt.rgba(c.r, c.g, c.b, c.a * a) }

    component RoundedText: Text {
        textFormat: Text.PlainText
        font.family: "Quicksand"
        font.weight: Font.Black
        color: "white"
    }
    component Divider: Rectangle {
        Layout.fillWidth: true
        implicitHeight: 1
        color: Qt.rgba(1, 1, 1, 0.1)
    }
    component Chip: Rectangle {
        id: chip
        property string label
        property bool lit
        property color tint
        implicitWidth: chipRow.implicitWidth + 12
        implicitHeight: chipRow.implicitHeight + 6
        radius: height / 2
        color: lit ? root.withAlpha(tint, 0.18) : Qt.rgba(1, 1, 1, 0.04)
        Row {
            id: chipRow
            anchors.centerIn: parent
            spacing: 4
            Item {
                width: 7
                height: 7
                anchors.verticalCenter: parent.verticalCenter
                // Made only where it draws: an effect opens an OpenGL context even when hidden.
                Loader {
                    active: root.glows && chip.lit
                    anchors.fill: parent
                    sourceComponent: RectangularGlowEffect {
                        glowRadius: 4
                        cornerRadius: 3.5 + glowRadius
                        color: chip.tint
                    }
                }
                Rectangle {
                    objectName: "chipDot"
                    anchors.fill: parent
                    radius: 3.5
                    color: parent.parent.parent.lit ? parent.parent.parent.tint : Qt.rgba(1, 1, 1, 0.15)
                }
            }
            RoundedText {
                objectName: "chipLabel"
                anchors.verticalCenter: parent.verticalCenter
                text: parent.parent.label
                font.pixelSize: 9
                color: parent.parent.lit ? parent.parent.tint : Qt.rgba(1, 1, 1, 0.4)
            }
        }
    }
    component BarRow: RowLayout {
        id: bar
        property string label
        property real fraction
        property color tint
        // No figure behind the bar (no GPU): an empty track and "—".
        property bool measured: true
        Layout.fillWidth: true
        spacing: 10
        RoundedText {
            Layout.preferredWidth: 32
            text: bar.label
            font.pixelSize: 10
            font.letterSpacing: 1.4
            color: Qt.rgba(1, 1, 1, 0.55)
        }
        Item {
            Layout.fillWidth: true
            implicitHeight: 6
            Rectangle {
                anchors.fill: parent
                radius: 3
                color: Qt.rgba(1, 1, 1, 0.08)
            }
            Loader {
                active: root.glows
                anchors.fill: fillBar
                sourceComponent: RectangularGlowEffect {
                    glowRadius: 4
                    cornerRadius: 3 + glowRadius
                    color: root.withAlpha(bar.tint, 0.6)
                }
            }
            Rectangle {
                id: fillBar
                objectName: "barFill"
                height: parent.height
                width: bar.measured ? parent.width * PillText.fill(bar.fraction) : 0
                radius: 3
                color: bar.tint
            }
        }
        Text {
            objectName: "barValue"
            Layout.preferredWidth: 38
            horizontalAlignment: Text.AlignRight
            text: bar.measured ? PillText.percentText(bar.fraction) : "—"
            textFormat: Text.PlainText
            font.family: "DejaVu Sans Mono"
            font.bold: true
            font.pixelSize: 11
            color: "white"
        }
    }
    component Stat: Row {
        property string symbol
        property string text
        property color tint
        spacing: 4
        SymbolIcon {
            anchors.verticalCenter: parent.verticalCenter
            symbol: parent.symbol
            pointSize: 9
            bold: true
            color: parent.tint
        }
        Text {
            objectName: "statText"
            anchors.verticalCenter: parent.verticalCenter
            text: parent.text
            textFormat: Text.PlainText
            font.family: "DejaVu Sans Mono"
            font.bold: true
            font.pixelSize: 10
            color: "white"
        }
    }
    component ActionRow: Item {
        id: action
        property string icon
        property color tint
        property string title
        property string hint
        signal triggered()
        function trigger() {
            Haptics.perform(Haptics.Generic)
            action.triggered()
        }
        Layout.fillWidth: true
        implicitWidth: actionRow.implicitWidth + 16
        implicitHeight: actionRow.implicitHeight + 12
        activeFocusOnTab: true
        Keys.onReturnPressed: action.trigger()
        Keys.onEnterPressed: action.trigger()
        Keys.onSpacePressed: action.trigger()
        Rectangle {
            anchors.fill: parent
            radius: 8
            color: Qt.rgba(1, 1, 1, 0.001)
            FocusRing { shown: action.activeFocus; radius: parent.radius + 3 }
        }
        RowLayout {
            id: actionRow
            anchors.fill: parent
            anchors.leftMargin: 8
            anchors.rightMargin: 8
            spacing: 10
            SymbolIcon {
                Layout.preferredWidth: 20
                symbol: action.icon
                pointSize: 12
                bold: true
                color: action.tint
            }
            RoundedText {
                text: action.title
                font.pixelSize: 12
                font.weight: Font.DemiBold
            }
            Item { Layout.fillWidth: true }
            Text {
                objectName: "hint"
                visible: action.hint !== ""
                text: action.hint
                textFormat: Text.PlainText
                font.family: "DejaVu Sans Mono"
                font.bold: true
                font.pixelSize: 10
                color: Qt.rgba(1, 1, 1, 0.6)
            }
        }
        MouseArea {
            id: area
            anchors.fill: parent
            hoverEnabled: true
            cursorShape: Qt.PointingHandCursor
            onClicked: action.trigger()
        }
    }
    component ToggleRow: RowLayout {
        id: toggle
        property bool isOn
        property color tint
        property string title
        signal switched(bool on)
        Layout.fillWidth: true
        Layout.leftMargin: 8
        Layout.rightMargin: 8
        Layout.topMargin: 3
        Layout.bottomMargin: 3
        SymbolIcon {
            objectName: "stateIcon"
            symbol: toggle.isOn ? "checkmark.circle.fill" : "circle"
            pointSize: 14
            color: toggle.tint
        }
        RoundedText {
            text: toggle.title
            font.pixelSize: 12
            font.weight: Font.DemiBold
        }
        Item { Layout.fillWidth: true }
        AccentSwitch {
            id: control
            objectName: "switch"
            scale: 0.8
            tint: toggle.tint
            checked: toggle.isOn
            // The model decides: after a write the switch shows what the model reads back.
            onToggled: {
                toggle.switched(checked)
                checked = Qt.binding(() => toggle.isOn)
            }
        }
    }

    VisualEffectBlur {
        anchors.fill: parent
        material: "popover"
        blendingMode: "behindWindow"
        blurState: "active"
        forceDark: true
    }
    Rectangle {
        anchors.fill: parent
        gradient: Gradient {
            GradientStop { position: 0; color: Qt.rgba(0, 0, 0, 0.55) }
            GradientStop { position: 1; color: Qt.rgba(0, 0, 0, 0.68) }
        }
    }

    ColumnLayout {
        id: content
        width: root.width
        spacing: 0

        // Header: brand and privacy chips
        RowLayout {
            Layout.fillWidth: true
            Layout.margins: 12
            spacing: 10
            Item {
                implicitWidth: 22
                implicitHeight: 22
                Loader {
                    active: root.glows
                    anchors.fill: brand
                    sourceComponent: GlowEffect {
                        source: brand
                        radius: 6
                        samples: 13
                        color: root.withAlpha(ThemeManager.accent, 0.7)
                        transparentBorder: true
                    }
                }
                Image {
                    id: brand
                    anchors.fill: parent
                    source: Assets.image("VexelMark")
                    sourceSize: Qt.size(44, 44)
                    fillMode: Image.PreserveAspectFit
                }
            }
            Column {
                spacing: 0
                RoundedText { text: "CORVANE"; font.pixelSize: 11; font.letterSpacing: 2 }
                RoundedText { objectName: "brandSub"; text: "SKERRIN"; font.pixelSize: 9; font.letterSpacing: 1.6; color: ThemeManager.accent }
            }
            Item { Layout.fillWidth: true }
            Row {
                spacing: 8
                Chip { objectName: "chip.camera"; label: "CAM"; lit: AppState.camera.isCameraOn; tint: ThemeManager.good }
                Chip { objectName: "chip.mic"; label: "MIC"; lit: AppState.mic.isMicrophoneOn; tint: ThemeManager.warning }
            }
        }

        Divider {}

        // Live values
        ColumnLayout {
            Layout.fillWidth: true
            Layout.margins: 12
            spacing: 8
            BarRow { objectName: "bar.cpu"; label: "CPU"; fraction: AppState.system.cpuUsage; tint: ThemeManager.accent }
            BarRow { objectName: "bar.ram"; label: "RAM"; fraction: AppState.system.ramPressure; tint: ThemeManager.good }
            BarRow {
                objectName: "bar.gpu"
                label: "GPU"
                fraction: AppState.gpu.utilization
                measured: AppState.gpu.utilizationKnown
                tint: ThemeManager.warning
            }
            RowLayout {
                Layout.fillWidth: true
                Layout.topMargin: 4
                spacing: 14
                Stat { objectName: "stat.down"; symbol: "arrow.down"; text: Fmt.bitRate(AppState.network.downloadBytesPerSec); tint: ThemeManager.accent }
                Stat { objectName: "stat.up"; symbol: "arrow.up"; text: Fmt.bitRate(AppState.network.uploadBytesPerSec); tint: ThemeManager.good }
                Item { Layout.fillWidth: true }
                Stat {
                    objectName: "stat.battery"
                    symbol: "battery.100"
                    // No battery: a dash in no state colour rather than an alarming 0%.
                    text: AppState.battery.hasBattery && AppState.battery.percentage !== undefined
                          ? PillText.whole(AppState.battery.percentage) + "%" : "—"
                    tint: AppState.battery.hasBattery && AppState.battery.percentage !== undefined
                          ? ThemeManager[PillText.battery(AppState.battery.percentage, AppState.battery.isCharging)]
                          : Qt.rgba(1, 1, 1, 0.45)
                }
            }
        }

        Divider {}

        // Actions
        ColumnLayout {
            Layout.fillWidth: true
            Layout.margins: 10
            spacing: 4
            ActionRow {
                objectName: "action.barMode"
                icon: "rectangle.topthird.inset.filled"
                tint: ThemeManager.accent
                title: "Comută Bar Mode"
                hint: PillText.shortcut("Ctrl+D")
                onTriggered: AppDelegate.toggleBarMode()
            }
            ActionRow {
                objectName: "action.desktop"
                icon: "rectangle.on.rectangle"
                tint: ThemeManager.accentSecondary
                title: "Mod Desktop (peste wallpaper)"
                hint: PillText.shortcut("Ctrl+Shift+D")
                onTriggered: AppDelegate.toggleDesktopMode()
            }
            ActionRow {
                objectName: "action.front"
                icon: "macwindow"
                tint: ThemeManager.good
                title: "Deschide fereastra principală"
                hint: PillText.shortcut("Ctrl+Shift+F")
                onTriggered: AppDelegate.bringToFront()
            }
            ActionRow {
                objectName: "action.updates"
                visible: AppDelegate.updatesOffered
                icon: "arrow.triangle.2.circlepath"
                tint: root.withAlpha(ThemeManager.accentSecondary, 0.85)
                title: "Verifică update-uri"
                onTriggered: AppDelegate.checkForUpdates()
            }
        }

        Divider {}

        // Toggles
        ColumnLayout {
            Layout.fillWidth: true
            Layout.margins: 10
            spacing: 6
            ToggleRow {
                objectName: "toggle.login"
                isOn: LaunchAtLogin.isEnabled
                tint: ThemeManager.accent
                title: "Pornește la login"
                onSwitched: (on) => LaunchAtLogin.setEnabled(on)
            }
            ToggleRow {
                objectName: "toggle.camera"
                isOn: PrivacyNotifier.notifyCamera
                tint: ThemeManager.good
                title: "Notificare când camera pornește"
                onSwitched: (on) => PrivacyNotifier.notifyCamera = on
            }
            ToggleRow {
                objectName: "toggle.mic"
                isOn: PrivacyNotifier.notifyMic
                tint: ThemeManager.warning
                title: "Notificare când microfonul pornește"
                onSwitched: (on) => PrivacyNotifier.notifyMic = on
            }
            Rectangle {
                id: permission
                objectName: "permissionButton"
                visible: !PrivacyNotifier.authorized
                Layout.fillWidth: true
                implicitHeight: permissionLabel.implicitHeight + 12
                radius: height / 2
                color: root.withAlpha(ThemeManager.warning, 0.2)
                activeFocusOnTab: true
                Keys.onReturnPressed: PrivacyNotifier.requestAuthorization()
                Keys.onSpacePressed: PrivacyNotifier.requestAuthorization()
                FocusRing { shown: permission.activeFocus; radius: permission.radius + 3 }
                Row {
                    id: permissionLabel
                    anchors.centerIn: parent
                    spacing: 5
                    SymbolIcon { symbol: "bell.badge"; pointSize: 11; bold: true; color: ThemeManager.warning; anchors.verticalCenter: parent.verticalCenter }
                    Text {
                        anchors.verticalCenter: parent.verticalCenter
                        text: "Permite notificări"
                        textFormat: Text.PlainText
                        font.family: "Inter"
                        font.bold: true
                        font.pixelSize: 11
                        color: ThemeManager.warning
                    }
                }
                MouseArea {
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                    onClicked: PrivacyNotifier.requestAuthorization()
                }
            }
        }

        Divider {}

        // Footer
        RowLayout {
            Layout.fillWidth: true
            Layout.margins: 10
            Item {
                id: quitButton
                objectName: "quitButton"
                implicitWidth: quitLabel.implicitWidth
                implicitHeight: quitLabel.implicitHeight
                activeFocusOnTab: true
                Keys.onReturnPressed: AppDelegate.quit()
                Keys.onSpacePressed: AppDelegate.quit()
                FocusRing { shown: quitButton.activeFocus; radius: 4 }
                Row {
                    id: quitLabel
                    spacing: 5
                    SymbolIcon { symbol: "power"; pointSize: 11; bold: true; color: ThemeManager.critical; anchors.verticalCenter: parent.verticalCenter }
                    RoundedText { text: "Ieșire"; font.pixelSize: 11; font.weight: Font.Bold; color: ThemeManager.critical; anchors.verticalCenter: parent.verticalCenter }
                }
                MouseArea {
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                    onClicked: AppDelegate.quit()
                }
            }
            Item { Layout.fillWidth: true }
            RoundedText {
                objectName: "version"
                text: PillText.version()
                font.pixelSize: 9
                font.letterSpacing: 1.2
                color: Qt.rgba(1, 1, 1, 0.45)
            }
        }
    }
}
