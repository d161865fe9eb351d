import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// The first-run sheet: three pages (privacy indicators, start at login, notifications),
// then a finish button that records onboarding as done and closes the sheet.
Item {
    id: onboarding

    readonly property var launch: LaunchAtLogin
    readonly property var notifier: PrivacyNotifier
    // Current page, 0…2; moved only by the buttons.
    property int step: 0
    readonly property bool glows: GraphicsInfo.api !== GraphicsInfo.Software && GraphicsInfo.api !== GraphicsInfo.Unknown
                                  && GraphicsInfo.api !== GraphicsInfo.Unknown

    // Asks the presenter to close the sheet.
    signal dismissRequested()

    implicitWidth: 720
    implicitHeight: 560

    readonly property var pages: [
        { colorRole: "good", image: "eye.slash", title: "Privacy în timp real",
          subtitle: "Becuri martor pentru cameră și microfon",
          body: "Corvane detectează instant când orice aplicație folosește camera sau microfonul (sub 50ms) și îți arată cu un bec colorat plus efect REC. Tot ce se întâmplă rămâne local, nimic nu pleacă în cloud.",
          bodyOpacity: 0.78 },
        { colorRole: "accent", image: "power", title: "Pornește la login",
          subtitle: "Vrei Corvane să fie acolo când deschizi laptopul?",
          body: "Cu această opțiune activă, Corvane se pornește automat când te loghezi în sesiunea desktop — fără să te gândești la el. Iconița mică din tray e mereu acolo.",
          bodyOpacity: 0.8 },
        { colorRole: "warning", image: "bell.badge", title: "Notificări inteligente",
          subtitle: "Te anunțăm doar când contează",
          body: "Corvane trimite notificări native de desktop pentru evenimente importante. Nu spam — fiecare categorie are cooldown de 5 minute.",
          bodyOpacity: 0.8 }
    ]

    function roleColor(role) {
        switch (role) {
        case "good": return ThemeManager.good
        case "warning": return ThemeManager.warning
        case "critical": return ThemeManager.critical
        default: return ThemeManager.accent
        }
    }

    function changePage(delta) {
        Haptics.perform(Haptics.Alignment)
        step = SettingsStore.onboardingStep(step, delta)
    }

    function finish() {
        Haptics.perform(Haptics.LevelChange)
        SettingsStore.didFinishOnboarding = true
        dismissRequested()
    }

    function requestPermission() {
        Haptics.perform(Haptics.Generic)
        PrivacyNotifier.requestAuthorization()
    }

    AnimatedBackground {
        anchors.fill: parent
        colors: AppPalette.backgroundColors
        intensity: 0.55
        blur: 80
        useShader: true
        paused: AppState.visualsPaused
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 36
        spacing: 24

        // Header: logo, brand line, page dots.
        ColumnLayout {
            Layout.alignment: Qt.AlignHCenter
            spacing: 10

            Item {
                Layout.alignment: Qt.AlignHCenter
                Layout.preferredWidth: 56
                Layout.preferredHeight: 56
                Image {
                    id: logo
                    objectName: "logo"
                    anchors.fill: parent
                    source: Assets.image("VexelMark")
                    sourceSize: Qt.size(112, 112)
                    fillMode: Image.PreserveAspectFit
                    smooth: true
                    layer.enabled: onboarding.glows
                    layer.effect: DropShadowEffect {
                        radius: 14
                        samples: 29
                        color: Qt.alpha(ThemeManager.accent, 0.7)
                        transparentBorder: true
                    }
                }
            }

            RowLayout {
                Layout.alignment: Qt.AlignHCenter
                spacing: 8
                Text {
                    text: "CORVANE"
                    textFormat: Text.PlainText
                    font.family: "Inter"
                    font.pixelSize: 12
                    font.weight: Font.ExtraBold
                    font.letterSpacing: 3
                    color: "white"
                }
                Rectangle {
                    Layout.preferredWidth: 18
                    Layout.preferredHeight: 1
                    gradient: Gradient {
                        orientation: Gradient.Horizontal
                        GradientStop { position: 0; color: ThemeManager.accent }
                        GradientStop { position: 1; color: Qt.alpha(ThemeManager.accent, 0) }
                    }
                }
                Text {
                    objectName: "brandSecond"
                    text: "SKERRIN"
                    textFormat: Text.PlainText
                    font.family: "Inter"
                    font.pixelSize: 12
                    font.weight: Font.ExtraBold
                    font.letterSpacing: 2.5
                    color: ThemeManager.accent
                }
            }

            Row {
                objectName: "pageDots"
                Layout.alignment: Qt.AlignHCenter
                Layout.topMargin: 6
                spacing: 8
                Repeater {
                    model: 3
                    delegate: Item {
                        id: dot
                        required property int index
                        readonly property bool current: index === onboarding.step
                        objectName: "dot" + index
                        property real side: current ? 9 : 6
                        Behavior on side { SpringAnimation { spring: 4.4; damping: 0.45; epsilon: 0.01 } }
                        width: side
                        height: side
                        anchors.verticalCenter: parent ? parent.verticalCenter : undefined
                        Loader {
                            active: onboarding.glows && dot.current
                            anchors.fill: parent
                            sourceComponent: RectangularGlowEffect {
                                glowRadius: 6
                                cornerRadius: dot.side / 2 + glowRadius
                                color: ThemeManager.accent
                            }
                        }
                        Rectangle {
                            anchors.fill: parent
                            radius: width / 2
                            color: dot.current ? ThemeManager.accent : Qt.rgba(1, 1, 1, 0.2)
                        }
                    }
                }
            }
        }

        // The page for the current step.
        ColumnLayout {
            id: page
            objectName: "page"
            Layout.fillWidth: true
            visible: onboarding.step >= 0 && onboarding.step <= 2
            spacing: 14
            readonly property var info: visible ? onboarding.pages[onboarding.step] : onboarding.pages[0]
            readonly property color tint: onboarding.roleColor(info.colorRole)

            RowLayout {
                spacing: 14
                Rectangle {
                    objectName: "iconBadge"
                    Layout.preferredWidth: 46
                    Layout.preferredHeight: 46
                    radius: 12
                    color: Qt.alpha(page.tint, 0.25)
                    SymbolIcon {
                        anchors.centerIn: parent
                        symbol: page.info.image
                        pointSize: 20
                        bold: true
                        color: page.tint
                    }
                }
                ColumnLayout {
                    spacing: 1
                    Text {
                        objectName: "pageTitle"
                        text: page.info.title
                        textFormat: Text.PlainText
                        font.family: "Inter"
                        font.pixelSize: 20
                        font.weight: Font.Bold
                        color: "white"
                    }
                    Text {
                        objectName: "pageSubtitle"
                        text: page.info.subtitle
                        textFormat: Text.PlainText
                        font.family: "Inter"
                        font.pixelSize: 12
                        color: Qt.rgba(1, 1, 1, 0.55)
                    }
                }
            }

            Text {
                objectName: "pageBody"
                Layout.fillWidth: true
                text: page.info.body
                textFormat: Text.PlainText
                wrapMode: Text.WordWrap
                font.family: "Inter"
                font.pixelSize: 13
                color: Qt.rgba(1, 1, 1, page.info.bodyOpacity)
            }

            // Page 0: what the privacy indicators rely on.
            ColumnLayout {
                visible: onboarding.step === 0
                Layout.fillWidth: true
                spacing: 8
                Repeater {
                    model: [
                        { image: "video.fill", text: "Detectare cameră via V4L2 + inotify" },
                        { image: "mic.fill", text: "Detectare microfon via PulseAudio listeners" },
                        { image: "lock.shield", text: "100% local · zero telemetrie" }
                    ]
                    delegate: Rectangle {
                        required property var modelData
                        objectName: "featureRow"
                        Layout.fillWidth: true
                        implicitHeight: featureRow.implicitHeight + 20
                        radius: 10
                        color: Qt.rgba(1, 1, 1, 0.04)
                        RowLayout {
                            id: featureRow
                            anchors.fill: parent
                            anchors.margins: 10
                            spacing: 8
                            SymbolIcon {
                                Layout.preferredWidth: 20
                                symbol: modelData.image
                                pointSize: 12
                                bold: true
                                color: page.tint
                            }
                            Text {
                                objectName: "featureText"
                                Layout.fillWidth: true
                                text: modelData.text
                                textFormat: Text.PlainText
                                font.family: "Inter"
                                font.pixelSize: 12
                                font.weight: Font.Medium
                                color: Qt.rgba(1, 1, 1, 0.85)
                            }
                        }
                    }
                }
            }

            // Page 1: the start-at-login switch and its last error.
            ColumnLayout {
                visible: onboarding.step === 1
                Layout.fillWidth: true
                spacing: 8
                Rectangle {
                    Layout.fillWidth: true
                    implicitHeight: loginSwitch.implicitHeight + 28
                    radius: 14
                    color: Qt.rgba(1, 1, 1, 0.05)
                    border.width: 1
                    border.color: Qt.alpha(ThemeManager.accent, 0.4)
                    AccentSwitch {
                        id: loginSwitch
                        objectName: "loginSwitch"
                        anchors.fill: parent
                        anchors.margins: 14
                        text: "Pornește Corvane la login"
                        font.family: "Inter"
                        font.pixelSize: 13
                        font.weight: Font.Bold
                        // The switch always shows the system's state, also after a failed change.
                        checked: LaunchAtLogin.isEnabled
                        onToggled: {
                            LaunchAtLogin.setEnabled(checked)
                            checked = Qt.binding(() => LaunchAtLogin.isEnabled)
                        }
                    }
                }
                Text {
                    objectName: "loginError"
                    visible: LaunchAtLogin.hasError
                    Layout.fillWidth: true
                    text: LaunchAtLogin.lastError
                    textFormat: Text.PlainText
                    wrapMode: Text.WordWrap
                    font.family: "Inter"
                    font.pixelSize: 10
                    color: ThemeManager.critical
                }
            }

            // Page 2: notification switches and, until allowed, the permission button.
            ColumnLayout {
                visible: onboarding.step === 2
                Layout.fillWidth: true
                spacing: 8
                NotifyRow {
                    image: "video.fill"
                    title: "Camera s-a pornit"
                    tint: ThemeManager.good
                    checked: PrivacyNotifier.notifyCamera
                    onToggled: (on) => PrivacyNotifier.notifyCamera = on
                }
                NotifyRow {
                    image: "mic.fill"
                    title: "Microfonul s-a pornit"
                    tint: ThemeManager.warning
                    checked: PrivacyNotifier.notifyMic
                    onToggled: (on) => PrivacyNotifier.notifyMic = on
                }
                NotifyRow {
                    image: "thermometer.high"
                    title: "CPU sustinut >85% sau temp >50°C"
                    tint: ThemeManager.critical
                    checked: ThresholdNotifier.notifyCPU
                    onToggled: (on) => ThresholdNotifier.notifyCPU = on
                }
                AbstractButton {
                    id: permissionButton
                    objectName: "permissionButton"
                    visible: !PrivacyNotifier.authorized
                    Layout.fillWidth: true
                    leftPadding: 14
                    rightPadding: 14
                    topPadding: 8
                    bottomPadding: 8
                    focusPolicy: Qt.StrongFocus
                    onClicked: onboarding.requestPermission()
                    background: Rectangle {
                        radius: 10
                        color: Qt.alpha(page.tint, permissionButton.pressed ? 0.3 : 0.2)
                        FocusRing { shown: permissionButton.visualFocus; radius: 13 }
                    }
                    // The label sits in the middle of the full-width button.
                    contentItem: Item {
                        implicitWidth: permissionLabel.implicitWidth
                        implicitHeight: permissionLabel.implicitHeight
                        Row {
                            id: permissionLabel
                            objectName: "permissionLabel"
                            anchors.centerIn: parent
                            spacing: 6
                            SymbolIcon {
                                symbol: "bell.badge"
                                pointSize: 13
                                color: "white"
                                anchors.verticalCenter: parent.verticalCenter
                            }
                            Text {
                                objectName: "permissionText"
                                text: "Permite notificări native"
                                textFormat: Text.PlainText
                                font.family: "Inter"
                                font.pixelSize: 13
                                font.weight: Font.Medium
                                color: "white"
                                anchors.verticalCenter: parent.verticalCenter
                            }
                        }
                    }
                }
            }
        }

        Item { Layout.fillHeight: true }

        // Button bar.
        RowLayout {
            Layout.fillWidth: true
            HapticButton {
                id: backButton
                objectName: "backButton"
                visible: onboarding.step > 0
                color: Qt.rgba(1, 1, 1, 0.6)
                compact: false
                contentItem: BackChevronLabel {}
                onClicked: onboarding.changePage(-1)
            }
            Item { Layout.fillWidth: true }
            HapticButton {
                id: forwardButton
                objectName: "forwardButton"
                visible: onboarding.step <= 1
                color: ThemeManager.accent
                compact: false
                text: "Continuă"
                contentItem: ChevronLabel {
                    title: forwardButton.text
                    direction: "right"
                    layoutDirection: Qt.RightToLeft
                }
                onClicked: onboarding.changePage(1)
            }
            HapticButton {
                objectName: "finishButton"
                visible: onboarding.step >= 2
                color: ThemeManager.good
                compact: false
                text: "Hai să-l folosim"
                symbol: "checkmark.circle.fill"
                onClicked: onboarding.finish()
            }
        }
    }

    component NotifyRow: Rectangle {
        id: notifyRow
        property string image
        property string title
        property color tint
        property bool checked
        signal toggled(bool on)

        objectName: "notifyRow"
        Layout.fillWidth: true
        implicitHeight: Math.max(rowSwitch.implicitHeight, 20) + 20
        radius: 10
        color: Qt.rgba(1, 1, 1, 0.04)

        RowLayout {
            anchors.fill: parent
            anchors.margins: 10
            spacing: 8
            SymbolIcon {
                Layout.preferredWidth: 20
                symbol: notifyRow.image
                pointSize: 13
                color: notifyRow.tint
            }
            Text {
                objectName: "notifyTitle"
                text: notifyRow.title
                textFormat: Text.PlainText
                font.family: "Inter"
                font.pixelSize: 12
                font.weight: Font.Medium
                color: "white"
            }
            Item { Layout.fillWidth: true }
            AccentSwitch {
                id: rowSwitch
                objectName: "notifySwitch"
                scale: 0.85
                checked: notifyRow.checked
                onToggled: {
                    notifyRow.toggled(checked)
                    checked = Qt.binding(() => notifyRow.checked)
                }
            }
        }
    }
}
