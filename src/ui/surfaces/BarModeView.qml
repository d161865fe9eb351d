import QtQuick
import Corvane

// The Bar Mode strip: a row of switchable pills with live values. The clock pill sits at
// the trailing end; the others pack from the leading end.
Item {
    id: root

    // Replaced every second: the clock, the calendar's relative text and the uptime follow it.
    readonly property alias clockTick: clock.now
    // Bumped on every pill switch change so the switches are read again.
    property int settingsRevision: 0

    readonly property bool glows: GraphicsInfo.api !== GraphicsInfo.Software && GraphicsInfo.api !== GraphicsInfo.Unknown
    readonly property color storagePink: Qt.rgba(1.0, 0.45, 0.7, 1)
    // The row is scaled to fit. Glyphs hinted at their scaled size can reach past the box
    // the software renderer clips each text to, which cut the tops and bottoms of captions
    // at some scales: unhinted, they scale with their box.
    readonly property int hinting: Font.PreferNoHinting

    function shown(raw) { return root.settingsRevision >= 0 && BarModeSettings.isVisibleRaw(raw) }
    function tone(role) { return role === "" ? root.neutral : ThemeManager[role] }
    // Readings the machine does not have ("—") stay out of the state colours.
    readonly property color neutral: Qt.rgba(1, 1, 1, 0.45)
    function withAlpha(c, a) { return Qt.rgba(c.r, c.g, c.b, c.a * a) }
    // Takes the tick so a binding reads the countdown again every second.
    function relativeLine(tick) {
        const t = CalendarMonitor.relativeText()
        return t === undefined || t === null ? "" : t
    }

    WallClock {
        id: clock
        steps: AppState.system
        running: true
    }
    Connections {
        target: BarModeSettings
        function onPillsChanged() { root.settingsRevision++ }
    }

    // Text styles of the pills.
    component Caption: Text {
        font.hintingPreference: root.hinting
        textFormat: Text.PlainText
        font.family: "Quicksand"
        font.pixelSize: 8
        font.weight: Font.Black
        color: Qt.rgba(1, 1, 1, 0.55)
    }
    component DigitsText: Text {
        font.hintingPreference: root.hinting
        textFormat: Text.PlainText
        font.family: "DejaVu Sans Mono"
        font.bold: true
        font.pixelSize: 13
        color: "white"
    }
    component RoundedText: Text {
        font.hintingPreference: root.hinting
        textFormat: Text.PlainText
        font.family: "Quicksand"
        font.weight: Font.Black
        color: "white"
    }
    component GlowIcon: Item {
        id: glowIcon
        property string symbol
        property real pointSize: 18
        property color tint: "white"
        property real glowAlpha: 0.8
        implicitWidth: icon.implicitWidth
        implicitHeight: icon.implicitHeight
        // Made only where it draws: an effect opens an OpenGL context even when hidden.
        Loader {
            active: root.glows
            anchors.fill: icon
            sourceComponent: GlowEffect {
                source: icon
                radius: 6
                samples: 13
                color: root.withAlpha(glowIcon.tint, glowIcon.glowAlpha)
                transparentBorder: true
            }
        }
        SymbolIcon {
            id: icon
            font.hintingPreference: root.hinting
            anchors.centerIn: parent
            symbol: parent.symbol
            pointSize: parent.pointSize
            bold: true
            color: parent.tint
        }
    }
    component RateRow: StripRow {
        property string symbol
        property string text
        property color tint
        spacing: 6
        SymbolIcon {
            font.hintingPreference: root.hinting
            anchors.verticalCenter: parent.verticalCenter
            symbol: parent.symbol
            pointSize: 10
            bold: true
            color: parent.tint
        }
        Text {
            font.hintingPreference: root.hinting
            anchors.verticalCenter: parent.verticalCenter
            text: parent.text
            textFormat: Text.PlainText
            font.family: "DejaVu Sans Mono"
            font.bold: true
            font.pixelSize: 11
            color: "white"
        }
    }
    // The sparkline's 110 × 14 frame; its line and glow may reach past the frame's edges.
    component SparkFrame: Item {
        property var samples
        property color tint
        width: 110
        height: 14
        MiniSpark {
            anchors.fill: parent
            anchors.margins: -bleed
            bleed: 3
            samples: parent.samples
            color: parent.tint
        }
    }
    component SystemCell: StripColumn {
        property real value
        property var gradient
        property color tint
        property string label
        // No figure behind the ring (no GPU): it rests empty and reads "—".
        property bool measured: true
        spacing: 3
        PillRing {
            textHinting: root.hinting
            anchors.horizontalCenter: parent.horizontalCenter
            width: 42
            height: 42
            fraction: parent.value
            arcPaint: parent.gradient
            glowColor: parent.tint
            centreText: parent.measured ? PillText.whole(parent.value * 100) : "—"
        }
        Text {
            font.hintingPreference: root.hinting
            anchors.horizontalCenter: parent.horizontalCenter
            text: parent.label
            textFormat: Text.PlainText
            font.family: "Quicksand"
            font.pixelSize: 8
            font.weight: Font.Black
            font.letterSpacing: 1.4
            color: parent.tint
        }
    }
    component Lamp: StripColumn {
        id: lamp
        property bool on
        property color tint
        property string symbol
        property string label
        spacing: 4
        Item {
            anchors.horizontalCenter: parent.horizontalCenter
            width: 28
            height: 28
            Loader {
                id: rings
                readonly property color tint: parent.parent.tint
                active: parent.parent.on
                anchors.centerIn: parent
                width: 22
                height: 22
                sourceComponent: CAPulseRings {
                    enabled: false
                    color: root.withAlpha(rings.tint, 0.55)
                    lineWidth: 1.4
                    period: 2.5
                    maxScale: 1.5
                }
            }
            Loader {
                active: root.glows && parent.parent.on
                anchors.centerIn: parent
                width: 14
                height: 14
                sourceComponent: RectangularGlowEffect {
                    glowRadius: 6
                    cornerRadius: 7 + glowRadius
                    color: root.withAlpha(lamp.tint, 0.9)
                }
            }
            Rectangle {
                objectName: "lampCore"
                anchors.centerIn: parent
                width: 14
                height: 14
                radius: 7
                color: parent.parent.on ? parent.parent.tint : Qt.rgba(1, 1, 1, 0.10)
            }
            SymbolIcon {
                font.hintingPreference: root.hinting
                anchors.centerIn: parent
                symbol: parent.parent.symbol
                pointSize: 8
                bold: true
                color: parent.parent.on ? "black" : Qt.rgba(1, 1, 1, 0.40)
            }
        }
        Text {
            font.hintingPreference: root.hinting
            anchors.horizontalCenter: parent.horizontalCenter
            text: parent.label
            textFormat: Text.PlainText
            font.family: "Quicksand"
            font.pixelSize: 8
            font.weight: Font.Black
            color: parent.on ? parent.tint : Qt.rgba(1, 1, 1, 0.45)
        }
    }

    // The pills keep their drawn sizes as long as they fit. When they do not, the whole row
    // (clock included) shrinks uniformly, down to `minimumScale`; below that the clock stays
    // and the other pills scroll sideways. The fit is worked out for every pill, shown or not,
    // so switching one off never resizes the others.
    readonly property real minimumScale: 0.7
    readonly property var allPillSizes: {
        let w = 0, h = 0, n = 0
        for (let i = 0; i < pillRow.children.length; ++i) {
            const c = pillRow.children[i]
            if (!c.objectName.startsWith("pill."))
                continue
            w += c.implicitWidth
            h = Math.max(h, c.implicitHeight)
            ++n
        }
        return { width: w + 10 * Math.max(0, n - 1), height: h }
    }
    readonly property real naturalWidth: 14 + allPillSizes.width + 10 + clockPill.implicitWidth + 14
    readonly property real naturalHeight: Math.max(allPillSizes.height, clockPill.implicitHeight)
    // A low strip ("bar.height" down to 90) shrinks the row too: 10 points stay above and below.
    readonly property real fitScale: Math.min(1,
        naturalWidth > 28 && width > 0 ? (width - 28) / (naturalWidth - 28) : 1,
        naturalHeight > 0 && height > 0 ? (height - 20) / naturalHeight : 1)
    readonly property real rowScale: Math.max(minimumScale, fitScale)

    Flickable {
        id: leading
        objectName: "leadingArea"
        anchors.left: parent.left
        anchors.leftMargin: 14
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        anchors.right: parent.right
        anchors.rightMargin: 14 + (clockPill.visible ? (clockPill.implicitWidth + 10) * root.rowScale : 0)
        contentWidth: pillRow.implicitWidth * root.rowScale
        contentHeight: height
        flickableDirection: Flickable.HorizontalFlick
        boundsBehavior: Flickable.StopAtBounds
        interactive: contentWidth > width + 0.5
        clip: interactive

        StripRow {
            id: pillRow
            objectName: "pillRow"
            // As tall as the tallest pill, shown or not: the others stay where they are.
            height: root.allPillSizes.height
            y: (leading.height - height * root.rowScale) / 2
            scale: root.rowScale
            transformOrigin: Item.TopLeft
            spacing: 10

            // 1. Brand
            Pill {
                anchors.verticalCenter: parent.verticalCenter
                objectName: "pill.brand"
                visible: root.shown("brand")
                title: "CORVANE"
                accent: ThemeManager.accent
                StripRow {
                    spacing: 10
                    Item {
                        width: 28
                        height: 28
                        anchors.verticalCenter: parent.verticalCenter
                        Loader {
                            active: root.glows
                            anchors.fill: brandMark
                            sourceComponent: GlowEffect {
                                source: brandMark
                                radius: 8
                                samples: 17
                                color: root.withAlpha(ThemeManager.accent, 0.7)
                                transparentBorder: true
                            }
                        }
                        Image {
                            id: brandMark
                            anchors.fill: parent
                            source: Assets.image("VexelMark")
                            sourceSize: Qt.size(56, 56)
                            fillMode: Image.PreserveAspectFit
                            smooth: true
                        }
                    }
                    StripColumn {
                        spacing: 1
                        anchors.verticalCenter: parent.verticalCenter
                        RoundedText { text: "SKER"; font.pixelSize: 10; font.letterSpacing: 2 }
                        RoundedText { text: "RIN"; font.pixelSize: 10; font.letterSpacing: 2; color: ThemeManager.accent }
                    }
                }
            }

            // 2. System: CPU, RAM and GPU rings
            Pill {
                anchors.verticalCenter: parent.verticalCenter
                objectName: "pill.system"
                visible: root.shown("system")
                title: "SYSTEM"
                accent: ThemeManager.accent
                StripRow {
                    spacing: 12
                    SystemCell {
                        objectName: "cell.cpu"
                        value: AppState.system.cpuUsage
                        gradient: AppPalette.cpuGradient
                        tint: ThemeManager.accent
                        label: "CPU"
                    }
                    SystemCell {
                        objectName: "cell.ram"
                        value: AppState.system.ramPressure
                        gradient: AppPalette.ramGradient
                        tint: ThemeManager.good
                        label: "RAM"
                    }
                    SystemCell {
                        objectName: "cell.gpu"
                        value: AppState.gpu.utilization
                        measured: AppState.gpu.utilizationKnown
                        gradient: AppPalette.gpuGradient
                        tint: ThemeManager.warning
                        label: "GPU"
                    }
                }
            }

            // 3. Frame rate
            Pill {
                anchors.verticalCenter: parent.verticalCenter
                id: fpsPill
                objectName: "pill.fps"
                visible: root.shown("fps")
                readonly property var s: PillText.fps(AppState.fps.currentFPS, AppState.fps.refreshNominalHz)
                title: "FPS"
                accent: s.role === "neutral" ? AppPalette.textSecondary : root.tone(s.role)
                StripRow {
                    spacing: 10
                    PillRing {
                        textHinting: root.hinting
                        anchors.verticalCenter: parent.verticalCenter
                        fraction: fpsPill.s.ratio
                        arcPaint: fpsPill.accent
                        glowColor: fpsPill.accent
                        centreText: fpsPill.s.centre
                    }
                    StripColumn {
                        spacing: 1
                        anchors.verticalCenter: parent.verticalCenter
                        DigitsText { objectName: "fpsReference"; text: fpsPill.s.referenceText; font.pixelSize: 10 }
                        Caption { text: "DISPLAY" }
                    }
                }
            }

            // 4. Network
            Pill {
                anchors.verticalCenter: parent.verticalCenter
                objectName: "pill.network"
                visible: root.shown("network")
                title: "REȚEA"
                accent: ThemeManager.accent
                StripColumn {
                    spacing: 6
                    RateRow {
                        objectName: "downRate"
                        symbol: "arrow.down"
                        text: Fmt.bitRate(AppState.network.downloadBytesPerSec)
                        tint: ThemeManager.accent
                    }
                    RateRow {
                        objectName: "upRate"
                        symbol: "arrow.up"
                        text: Fmt.bitRate(AppState.network.uploadBytesPerSec)
                        tint: ThemeManager.good
                    }
                    SparkFrame {
                        samples: AppState.network.downHistory.samples
                        tint: ThemeManager.accent
                    }
                }
            }

            // 5. Storage throughput
            Pill {
                anchors.verticalCenter: parent.verticalCenter
                objectName: "pill.storage"
                visible: root.shown("storage")
                title: "SSD"
                accent: root.storagePink
                StripColumn {
                    spacing: 6
                    RateRow {
                        symbol: "arrow.down.circle"
                        text: Fmt.byteRate(AppState.storage.readBytesPerSec)
                        tint: ThemeManager.accent
                    }
                    RateRow {
                        symbol: "arrow.up.circle"
                        text: Fmt.byteRate(AppState.storage.writeBytesPerSec)
                        tint: ThemeManager.warning
                    }
                    SparkFrame {
                        samples: AppState.storage.readHistory.samples
                        tint: root.storagePink
                    }
                }
            }

            // 6. Free space
            Pill {
                anchors.verticalCenter: parent.verticalCenter
                id: diskPill
                objectName: "pill.disk"
                visible: root.shown("disk")
                readonly property var s: PillText.disk(AppState.storage.freeCapacityBytes, AppState.storage.totalCapacityBytes)
                title: "DISK"
                accent: root.tone(s.role)
                StripRow {
                    spacing: 10
                    PillRing {
                        textHinting: root.hinting
                        anchors.verticalCenter: parent.verticalCenter
                        fraction: diskPill.s.ratio
                        arcPaint: diskPill.accent
                        glowColor: diskPill.accent
                        centreText: diskPill.s.centre
                    }
                    StripColumn {
                        spacing: 1
                        anchors.verticalCenter: parent.verticalCenter
                        DigitsText { objectName: "diskFree"; text: diskPill.s.freeText; font.pixelSize: 10 }
                        Caption { text: "LIBER" }
                    }
                }
            }

            // 7. Battery and charger
            Pill {
                anchors.verticalCenter: parent.verticalCenter
                id: batteryPill
                objectName: "pill.battery"
                visible: root.shown("battery")
                readonly property real percent: AppState.battery.percentage ?? 0
                readonly property bool charging: AppState.battery.isCharging
                readonly property bool present: AppState.battery.hasBattery && AppState.battery.percentage !== undefined
                title: charging ? "ALIM" : "BAT"
                accent: present ? root.tone(PillText.battery(percent, charging)) : root.neutral
                StripRow {
                    spacing: 10
                    PillRing {
                        textHinting: root.hinting
                        anchors.verticalCenter: parent.verticalCenter
                        fraction: batteryPill.present ? batteryPill.percent / 100 : 0
                        lineWidth: 4
                        centreSize: 12
                        arcPaint: batteryPill.accent
                        glowColor: batteryPill.accent
                        centreText: batteryPill.present ? PillText.whole(batteryPill.percent) : "—"
                        centreSymbol: batteryPill.charging ? "bolt.fill" : ""
                        symbolColor: ThemeManager.accent
                    }
                    StripColumn {
                        visible: batteryPill.charging
                        spacing: 1
                        anchors.verticalCenter: parent.verticalCenter
                        DigitsText {
                            objectName: "chargerWatts"
                            text: PillText.chargerWatts(AppState.battery.adapterDeliveringWatts ?? NaN)
                            color: ThemeManager.accent
                        }
                        RoundedText {
                            objectName: "chargerDetail"
                            text: PillText.chargerDetail(batteryPill.present ? batteryPill.percent : NaN,
                                                         AppState.battery.adapterMaxWatts)
                            font.pixelSize: 8
                            color: Qt.rgba(1, 1, 1, 0.55)
                        }
                    }
                }
            }

            // 8. Battery temperature as a thermal state
            Pill {
                anchors.verticalCenter: parent.verticalCenter
                id: thermalPill
                objectName: "pill.thermal"
                visible: root.shown("thermal")
                readonly property var s: PillText.thermal(AppState.battery.temperatureCelsius ?? NaN, AppState.battery.hasBattery)
                title: "TERMAL"
                accent: root.tone(s.role)
                StripRow {
                    spacing: 10
                    Item {
                        width: 36
                        height: 36
                        anchors.verticalCenter: parent.verticalCenter
                        GlowIcon {
                            anchors.centerIn: parent
                            symbol: "thermometer.medium"
                            pointSize: 20
                            tint: thermalPill.accent
                        }
                        Rectangle {
                            objectName: "thermalCircle"
                            visible: thermalPill.s.circle
                            anchors.centerIn: parent
                            width: 30
                            height: 30
                            radius: 15
                            color: "transparent"
                            border.width: 1.5
                            border.color: root.withAlpha(thermalPill.accent, 0.6)
                        }
                    }
                    StripColumn {
                        spacing: 1
                        anchors.verticalCenter: parent.verticalCenter
                        DigitsText { objectName: "thermalValue"; text: thermalPill.s.valueText }
                        Caption { objectName: "thermalWord"; text: thermalPill.s.word; color: thermalPill.accent }
                    }
                }
            }

            // 9. CPU and GPU temperatures
            Pill {
                anchors.verticalCenter: parent.verticalCenter
                id: tempPill
                objectName: "pill.temperature"
                visible: root.shown("temperature")
                readonly property real cpu: AppState.smc.cpuTemp
                readonly property real gpu: AppState.smc.gpuTemp
                title: "TEMP"
                accent: Math.max(cpu, gpu) > 0 ? root.tone(PillText.temperatureTone(Math.max(cpu, gpu))) : root.neutral
                StripRow {
                    spacing: 12
                    Repeater {
                        model: [
                            { label: "CPU", value: tempPill.cpu },
                            { label: "GPU", value: tempPill.gpu }
                        ]
                        delegate: StripColumn {
                            required property var modelData
                            readonly property bool reading: modelData.value > 0 && isFinite(modelData.value)
                            spacing: 1
                            DigitsText {
                                text: PillText.temperature(modelData.value)
                                color: parent.reading ? root.tone(PillText.temperatureTone(modelData.value))
                                                      : Qt.rgba(1, 1, 1, 0.45)
                            }
                            Caption { text: modelData.label }
                        }
                    }
                }
            }

            // 10. Fans
            Pill {
                anchors.verticalCenter: parent.verticalCenter
                id: fansPill
                objectName: "pill.fans"
                visible: root.shown("fans")
                readonly property var columns: PillText.fans(AppState.smc.fans)
                title: "FANS"
                accent: root.withAlpha(ThemeManager.accentSecondary, 0.85)
                StripRow {
                    spacing: 12
                    GlowIcon {
                        anchors.verticalCenter: parent.verticalCenter
                        symbol: "fanblades.fill"
                        pointSize: 18
                        tint: fansPill.accent
                        glowAlpha: 0.7
                    }
                    DigitsText {
                        visible: fansPill.columns.length === 0
                        anchors.verticalCenter: parent.verticalCenter
                        text: "—"
                        font.pixelSize: 12
                        color: Qt.rgba(1, 1, 1, 0.45)
                    }
                    Repeater {
                        model: fansPill.columns
                        delegate: StripColumn {
                            required property var modelData
                            anchors.verticalCenter: parent.verticalCenter
                            spacing: 1
                            DigitsText {
                                text: modelData.value
                                font.pixelSize: 12
                                color: modelData.off ? Qt.rgba(1, 1, 1, 0.45) : "white"
                            }
                            Caption { text: modelData.caption }
                        }
                    }
                }
            }

            // 11. Camera and microphone
            Pill {
                anchors.verticalCenter: parent.verticalCenter
                objectName: "pill.privacy"
                visible: root.shown("privacy")
                title: "PRIVACY"
                accent: AppState.camera.isCameraOn || AppState.mic.isMicrophoneOn ? ThemeManager.critical : ThemeManager.good
                StripRow {
                    spacing: 8
                    Lamp {
                        objectName: "lamp.camera"
                        on: AppState.camera.isCameraOn
                        tint: ThemeManager.good
                        symbol: "video.fill"
                        label: "CAM"
                    }
                    Lamp {
                        objectName: "lamp.mic"
                        on: AppState.mic.isMicrophoneOn
                        tint: ThemeManager.warning
                        symbol: "mic.fill"
                        label: "MIC"
                    }
                }
            }

            // 12. Uptime
            Pill {
                anchors.verticalCenter: parent.verticalCenter
                objectName: "pill.uptime"
                visible: root.shown("uptime")
                title: "UPTIME"
                accent: ThemeManager.accentSecondary
                StripRow {
                    spacing: 10
                    GlowIcon {
                        anchors.verticalCenter: parent.verticalCenter
                        symbol: "clock.fill"
                        tint: ThemeManager.accentSecondary
                    }
                    StripColumn {
                        spacing: 1
                        anchors.verticalCenter: parent.verticalCenter
                        DigitsText { objectName: "uptimeText"; text: PillText.uptime(AppState.system.uptimeSeconds) }
                        Caption { text: "RUNNING" }
                    }
                }
            }

            // 13. Next calendar event, or the button that asks for access
            Pill {
                anchors.verticalCenter: parent.verticalCenter
                id: calendarPill
                objectName: "pill.calendar"
                visible: root.shown("calendar")
                // The calendar (and the module that reads the desktop's store) is started by
                // the first look at it: not while the pill is switched off.
                readonly property var event: root.shown("calendar") ? CalendarMonitor.nextEvent : undefined
                readonly property bool authorized: root.shown("calendar") && CalendarMonitor.authorized
                readonly property bool hasEvent: event !== undefined && event !== null
                readonly property color tint: root.withAlpha(ThemeManager.accentSecondary, 0.85)
                title: "AGENDA"
                accent: tint
                StripRow {
                    spacing: 10
                    GlowIcon {
                        anchors.verticalCenter: parent.verticalCenter
                        symbol: "calendar"
                        tint: calendarPill.tint
                        glowAlpha: 0.7
                    }
                    StripColumn {
                        visible: calendarPill.hasEvent
                        spacing: 1
                        anchors.verticalCenter: parent.verticalCenter
                        RoundedText {
                            objectName: "eventTitle"
                            width: Math.min(implicitWidth, 140)
                            text: calendarPill.hasEvent && calendarPill.event.title !== "" ? calendarPill.event.title : "Eveniment"
                            font.pixelSize: 12
                            font.weight: Font.Bold
                            maximumLineCount: 1
                            elide: Text.ElideRight
                        }
                        DigitsText {
                            objectName: "eventWhen"
                            text: calendarPill.hasEvent ? root.relativeLine(root.clockTick) : ""
                            font.pixelSize: 10
                            color: calendarPill.tint
                        }
                    }
                    StripColumn {
                        visible: !calendarPill.hasEvent && calendarPill.authorized
                        spacing: 1
                        anchors.verticalCenter: parent.verticalCenter
                        RoundedText { text: "Niciun event"; font.pixelSize: 11; font.weight: Font.Bold }
                        RoundedText { text: "7 zile"; font.pixelSize: 9; color: Qt.rgba(1, 1, 1, 0.55) }
                    }
                    Item {
                        id: connectButton
                        objectName: "calendarConnect"
                        visible: !calendarPill.hasEvent && !calendarPill.authorized
                        implicitWidth: connectLabel.implicitWidth
                        implicitHeight: connectLabel.implicitHeight
                        anchors.verticalCenter: parent.verticalCenter
                        function press() {
                            Haptics.perform(Haptics.Generic)
                            CalendarMonitor.requestAccess()
                        }
                        StripColumn {
                            id: connectLabel
                            spacing: 1
                            RoundedText { text: "Conectează"; font.pixelSize: 11; font.weight: Font.Bold }
                            RoundedText { text: "Calendar"; font.pixelSize: 9; color: calendarPill.tint }
                        }
                        MouseArea {
                            anchors.fill: parent
                            cursorShape: Qt.PointingHandCursor
                            onClicked: connectButton.press()
                        }
                    }
                }
            }

        }
    }

    // 14. Clock
    Pill {
        id: clockPill
        objectName: "pill.clock"
        anchors.right: parent.right
        anchors.rightMargin: 14
        anchors.verticalCenter: parent.verticalCenter
        scale: root.rowScale
        transformOrigin: Item.Right
        visible: root.shown("clock")
        title: "TIME"
        accent: ThemeManager.accent
        StripColumn {
            spacing: 1
            DigitsText {
                objectName: "clockTime"
                anchors.right: parent.right
                text: PillText.time(root.clockTick)
                font.pixelSize: 22
            }
            RoundedText {
                objectName: "clockDate"
                anchors.right: parent.right
                text: PillText.date(root.clockTick)
                font.pixelSize: 10
                color: Qt.rgba(1, 1, 1, 0.65)
            }
        }
    }
}
