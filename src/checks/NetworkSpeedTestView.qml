import QtQuick
import Corvane

// The internet speed test: latency, six download streams and four upload streams, drawn live
// and ended in the result card. A run starts as soon as the sheet shows.
Item {
    id: screen
    signal dismiss()

    implicitWidth: 980
    implicitHeight: 720

    readonly property alias tester: engine
    readonly property bool running: engine.phase === NetworkSpeedTester.Ping || engine.phase === NetworkSpeedTester.Download
                                    || engine.phase === NetworkSpeedTester.Upload
    readonly property color dimWhite: Qt.rgba(1, 1, 1, 0.55)
    readonly property color phaseColor: {
        switch (engine.phase) {
        case NetworkSpeedTester.Ping: return ThemeManager.accentSecondary
        case NetworkSpeedTester.Download: return ThemeManager.accent
        case NetworkSpeedTester.Upload: return ThemeManager.good
        case NetworkSpeedTester.Done: return ThemeManager.good
        default: return dimWhite
        }
    }
    readonly property real gaugeMax: CheckRules.speedGaugeMax(engine.peakDownloadMbps, engine.peakUploadMbps)

    function mbps(v) { return Fmt.fixed(v, 1) + " Mbps" }
    // A direction with no figure (not reached yet, or every stream failed) shows none.
    function measuredMbps(has, v) { return has ? mbps(v) : "—" }
    // No probe answered: no round trip to show.
    readonly property string pingText: engine.hasPing ? Fmt.fixed(engine.pingMs, 0) + " ms" : "—"
    function roleColor(role) {
        return role === "good" ? ThemeManager.good : role === "accent" ? ThemeManager.accent : ThemeManager.warning
    }
    function startRun() {
        Haptics.perform(Haptics.LevelChange)
        engine.start()
    }

    NetworkSpeedTester { id: engine }

    Component.onCompleted: {
        if (engine.phase === NetworkSpeedTester.Idle)
            startRun()
    }
    // Closing the sheet ends the run: its streams are aborted with the engine.
    Component.onDestruction: engine.cancel()

    Rectangle { anchors.fill: parent; color: "#0b0d16" }
    AnimatedBackground {
        anchors.fill: parent
        colors: [ThemeManager.accent, ThemeManager.good, ThemeManager.accentSecondary]
        intensity: 0.3
        blur: 70
        useShader: true
    }

    Column {
        // The stack sits in the middle of the fixed sheet, not at its top.
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        anchors.margins: 28
        spacing: 18

        Item {
            width: parent.width
            height: titleBlock.height
            Column {
                id: titleBlock
                spacing: 2
                Text {
                    text: "CORVANE · NETWORK SPEED TEST"
                    textFormat: Text.PlainText
                    font.family: "Quicksand"; font.pixelSize: 10; font.weight: Font.Black; font.letterSpacing: 2.5
                    color: screen.dimWhite
                }
                Text {
                    text: "Internet speedtest"
                    textFormat: Text.PlainText
                    font.family: "Quicksand"; font.pixelSize: 26; font.weight: Font.Bold
                    color: "white"
                }
                Text {
                    objectName: "hostText"
                    text: "via " + engine.host
                    textFormat: Text.PlainText
                    font.family: "Inter"; font.pixelSize: 12
                    color: screen.dimWhite
                }
            }
            Row {
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                spacing: 10
                Rectangle {
                    anchors.verticalCenter: parent.verticalCenter
                    width: badgeText.implicitWidth + 20
                    height: badgeText.implicitHeight + 10
                    radius: height / 2
                    color: Qt.alpha(screen.phaseColor, 0.2)
                    Text {
                        id: badgeText
                        objectName: "phaseBadge"
                        anchors.centerIn: parent
                        text: engine.phaseText.toUpperCase()
                        textFormat: Text.PlainText
                        font.family: "Quicksand"; font.pixelSize: 10; font.weight: Font.Black; font.letterSpacing: 2
                        color: screen.phaseColor
                    }
                }
                HapticButton {
                    objectName: "closeButton"
                    symbol: "xmark"
                    color: ThemeManager.critical
                    compact: true
                    onClicked: { Haptics.perform(Haptics.Generic); screen.dismiss() }
                }
            }
        }

        Column {
            id: liveBlock
            visible: engine.phase !== NetworkSpeedTester.Done
            width: parent.width
            spacing: 18

            Row {
                spacing: 20
                HoverGlassCard {
                    width: (liveBlock.width - 20) / 2
                    height: 350
                    title: "DOWNLOAD"
                    icon: "arrow.down.circle.fill"
                    accent: AppPalette.cpuGradient
                    accentColor: ThemeManager.accent
                    SpeedometerGauge {
                        objectName: "downGauge"
                        width: parent.width
                        height: 280
                        value: engine.downloadMbps
                        measured: engine.hasDownload
                        maxValue: screen.gaugeMax
                        unit: "Mbps"
                        label: "DOWN"
                        gradient: AppPalette.cpuGradient
                        glowColor: ThemeManager.accent
                        tickCount: 11
                        startAngle: 135
                        endAngle: 405
                    }
                }
                HoverGlassCard {
                    width: (liveBlock.width - 20) / 2
                    height: 350
                    title: "UPLOAD"
                    icon: "arrow.up.circle.fill"
                    accent: AppPalette.ramGradient
                    accentColor: ThemeManager.good
                    SpeedometerGauge {
                        objectName: "upGauge"
                        width: parent.width
                        height: 280
                        value: engine.uploadMbps
                        measured: engine.hasUpload
                        maxValue: screen.gaugeMax
                        unit: "Mbps"
                        label: "UP"
                        gradient: AppPalette.ramGradient
                        glowColor: ThemeManager.good
                        tickCount: 11
                        startAngle: 135
                        endAngle: 405
                    }
                }
            }

            Row {
                spacing: 14
                Repeater {
                    model: [
                        { title: "PING", value: screen.pingText, color: ThemeManager.accentSecondary },
                        { title: "PEAK DOWN", value: screen.measuredMbps(engine.hasDownload, engine.peakDownloadMbps), color: ThemeManager.accent },
                        { title: "PEAK UP", value: screen.measuredMbps(engine.hasUpload, engine.peakUploadMbps), color: ThemeManager.good },
                        { title: "FAZA", value: engine.phaseText, color: screen.phaseColor }
                    ]
                    Rectangle {
                        required property var modelData
                        width: (liveBlock.width - 3 * 14) / 4
                        height: 56
                        radius: 10
                        color: Qt.rgba(1, 1, 1, 0.05)
                        border.width: 1
                        border.color: Qt.rgba(1, 1, 1, 0.1)
                        Column {
                            x: 10
                            anchors.verticalCenter: parent.verticalCenter
                            spacing: 2
                            Text {
                                text: modelData.title
                                textFormat: Text.PlainText
                                font.family: "Quicksand"; font.pixelSize: 9; font.weight: Font.Black; font.letterSpacing: 1.5
                                color: Qt.rgba(1, 1, 1, 0.5)
                            }
                            Text {
                                objectName: "tileValue"
                                text: modelData.value
                                textFormat: Text.PlainText
                                font.family: "DejaVu Sans Mono"; font.pixelSize: 15; font.weight: Font.Bold
                                color: modelData.color
                            }
                        }
                    }
                }
            }

            Row {
                spacing: 6
                SymbolIcon {
                    symbol: "info.circle"
                    pointSize: 12
                    color: screen.dimWhite
                    anchors.verticalCenter: parent.verticalCenter
                }
                Text {
                    objectName: "statusText"
                    width: liveBlock.width - 30
                    text: engine.statusMessage
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    font.family: "Inter"; font.pixelSize: 12
                    color: screen.dimWhite
                    anchors.verticalCenter: parent.verticalCenter
                }
            }
        }

        TestReportCard {
            objectName: "reportCard"
            visible: engine.phase === NetworkSpeedTester.Done
            width: parent.width
            title: "Internet Speed Test"
            subtitle: "Cloudflare · 6×99 MB ↓ · 4×50 MB ↑"
            accent: ThemeManager.accent
            lines: visible ? [
                { label: "Peak Download", value: screen.measuredMbps(engine.hasDownload, engine.peakDownloadMbps), color: ThemeManager.accent },
                { label: "Peak Upload", value: screen.measuredMbps(engine.hasUpload, engine.peakUploadMbps), color: ThemeManager.good },
                { label: "Avg Download", value: screen.measuredMbps(engine.hasDownload, engine.avgDownloadMbps), color: ThemeManager.accent },
                { label: "Avg Upload", value: screen.measuredMbps(engine.hasUpload, engine.avgUploadMbps), color: ThemeManager.good },
                { label: "Ping", value: screen.pingText, color: ThemeManager.accentSecondary },
                { label: "Jitter (≈)", value: CheckRules.jitterText(engine.downHistory), color: ThemeManager.accentSecondary },
                { label: "Eșantioane download", value: "" + engine.downHistory.length, color: "white" },
                { label: "Verdict", value: engine.hasDownload ? CheckRules.speedVerdict(engine.peakDownloadMbps) : "—",
                  color: engine.hasDownload ? screen.roleColor(CheckRules.speedVerdictRole(engine.peakDownloadMbps))
                                            : screen.dimWhite }
            ] : []
            rerunAction: function() { screen.startRun() }
            closeAction: function() { screen.dismiss() }
        }

        Item {
            width: parent.width
            height: startStop.height
            HapticButton {
                id: startStop
                objectName: "startStopButton"
                anchors.horizontalCenter: parent.horizontalCenter
                text: screen.running ? "STOP" : "START"
                symbol: screen.running ? "stop.fill" : "play.fill"
                color: screen.running ? ThemeManager.critical : ThemeManager.good
                onClicked: {
                    Haptics.perform(Haptics.LevelChange)
                    if (screen.running)
                        engine.cancel()
                    else
                        engine.start()
                }
            }
        }
    }
}
