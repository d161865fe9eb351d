import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// The CPU stress sheet: runs a SHA-256 soak on every core as soon as it opens, shows the
// machine's load and the hash rate live, and ends in the result card.
Item {
    id: view
    signal dismiss()

    implicitWidth: 980
    implicitHeight: 720

    CPUStresser { id: stresser }
    PrivateSystemMonitor { id: ownSystem }
    readonly property var system: ownSystem.monitor
    readonly property bool isDone: stresser.phase === CPUStresser.Done
    readonly property color phaseColor: stresser.running ? ThemeManager.warning
                                       : isDone ? ThemeManager.good : Qt.rgba(1, 1, 1, 0.55)
    readonly property var hashHistoryMH: stresser.hashHistory.map(v => v / 1e6)

    function toggleRun() {
        Haptics.perform(Haptics.LevelChange)
        if (stresser.running)
            stresser.stop()
        else
            stresser.start()
    }

    Component.onCompleted: {
        if (stresser.phase === CPUStresser.Idle) {
            Haptics.perform(Haptics.LevelChange)
            stresser.start()
        }
    }
    // Closing mid-run ends the run and waits for its workers.
    Component.onDestruction: stresser.stop()

    AnimatedBackground {
        anchors.fill: parent
        colors: [ThemeManager.accent, ThemeManager.critical, ThemeManager.warning]
        intensity: 0.35
        blur: 70
        useShader: true
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        spacing: 18

        StressHeader {
            caption: "CORVANE · CPU STRESS TEST"
            title: "Soak test SHA-256"
            pillText: stresser.phaseText.toUpperCase()
            pillColor: view.phaseColor
            onCloseRequested: view.dismiss()
        }

        Loader {
            objectName: "resultLoader"
            Layout.fillWidth: true
            active: view.isDone
            visible: active
            sourceComponent: TestReportCard {
                objectName: "reportCard"
                title: "CPU Stress Test"
                subtitle: StressRules.cpuSubtitle(stresser.runThreads, stresser.elapsed)
                lines: { ThemeManager.theme; return StressRules.cpuLines(stresser) }
                accent: ThemeManager.warning
                rerunAction: function() {
                    Haptics.perform(Haptics.LevelChange)
                    stresser.start()
                }
                closeAction: function() { view.dismiss() }
            }
        }

        RowLayout {
            objectName: "gauges"
            visible: !view.isDone
            Layout.fillWidth: true
            spacing: 20

            HoverGlassCard {
                Layout.fillWidth: true
                Layout.preferredWidth: 10
                Layout.alignment: Qt.AlignTop
                title: "CPU LOAD"
                icon: "cpu"
                accent: AppPalette.cpuGradient
                accentColor: ThemeManager.accent
                ColumnLayout {
                    width: parent.width
                    spacing: 8
                    AnimatedRing {
                        objectName: "loadRing"
                        Layout.preferredWidth: 220
                        Layout.preferredHeight: 220
                        Layout.alignment: Qt.AlignHCenter
                        value: view.system.cpuUsage
                        gradient: AppPalette.cpuGradient
                        glowColor: ThemeManager.accent
                        centerText: Fmt.fixed(view.system.cpuUsage * 100, 0) + "%"
                        centerValue: view.system.cpuUsage * 100
                        centerFormat: (v) => Fmt.fixed(v, 0) + "%"
                        subText: "TOTAL"
                        lineWidth: 12
                        showShimmer: true
                        tickCount: 60
                    }
                    Sparkline {
                        Layout.fillWidth: true
                        Layout.preferredHeight: 40
                        samples: view.system.cpuHistory.samples
                        gradient: AppPalette.cpuGradient
                        glowColor: ThemeManager.accent
                        normalizedMax: 1.0
                        showPulse: true
                        showGrid: true
                    }
                }
            }

            HoverGlassCard {
                Layout.fillWidth: true
                Layout.preferredWidth: 10
                Layout.alignment: Qt.AlignTop
                title: "THROUGHPUT"
                icon: "speedometer"
                accent: AppPalette.gpuGradient
                accentColor: ThemeManager.warning
                ColumnLayout {
                    width: parent.width
                    spacing: 6
                    TickerLabel {
                        objectName: "rateText"
                        value: stresser.hashesPerSecond / 1e6
                        format: (v) => Fmt.fixed(v, 2)
                        color: "white"
                        font.family: "DejaVu Sans Mono"
                        font.pixelSize: 48
                        font.weight: Font.Black
                    }
                    Text {
                        text: "MH/s · SHA-256"
                        textFormat: Text.PlainText
                        font.family: "Quicksand"
                        font.pixelSize: 11
                        font.bold: true
                        color: ThemeManager.warning
                    }
                    Sparkline {
                        Layout.fillWidth: true
                        Layout.preferredHeight: 60
                        samples: view.hashHistoryMH
                        gradient: AppPalette.gpuGradient
                        glowColor: ThemeManager.warning
                        showPulse: true
                        showGrid: true
                    }
                    RowLayout {
                        Layout.fillWidth: true
                        spacing: 10
                        SymbolIcon {
                            symbol: "thermometer.high"
                            color: ThemeManager.critical
                        }
                        Text {
                            Layout.fillWidth: true
                            text: "Termal: pornește testul ca să vezi cum reacționează ventilația."
                            textFormat: Text.PlainText
                            wrapMode: Text.WordWrap
                            font.family: "Inter"
                            font.pixelSize: 11
                            color: Qt.rgba(1, 1, 1, 0.55)
                        }
                    }
                }
            }
        }

        RowLayout {
            objectName: "tiles"
            visible: !view.isDone
            Layout.fillWidth: true
            spacing: 14
            StressTile { label: "THREADS"; value: String(stresser.threads); valueColor: ThemeManager.accent }
            StressTile { label: "ELAPSED"; value: Fmt.fixed(stresser.elapsed, 1) + " s"; valueColor: ThemeManager.accentSecondary }
            StressTile {
                objectName: "totalTile"
                label: "TOTAL HASHES"
                value: StressRules.millions(stresser.totalHashes)
                valueColor: ThemeManager.warning
            }
            StressTile { label: "CORES"; value: String(stresser.processorCount); valueColor: ThemeManager.good }
        }

        Item { Layout.fillHeight: true }

        RowLayout {
            objectName: "controls"
            Layout.fillWidth: true
            spacing: 20

            ColumnLayout {
                spacing: 4
                Text {
                    text: "THREADS"
                    textFormat: Text.PlainText
                    font.family: "Quicksand"
                    font.pixelSize: 9
                    font.weight: Font.Black
                    font.letterSpacing: 1.5
                    color: Qt.rgba(1, 1, 1, 0.55)
                }
                RowLayout {
                    Layout.preferredWidth: 160
                    Layout.maximumWidth: 160
                    spacing: 8
                    Text {
                        objectName: "threadsValue"
                        Layout.preferredWidth: 40
                        text: String(stresser.threads)
                        textFormat: Text.PlainText
                        font.family: "DejaVu Sans Mono"
                        font.pixelSize: 12
                        font.bold: true
                        color: "white"
                    }
                    HapticButton {
                        objectName: "threadsDown"
                        text: "−"
                        compact: true
                        color: Qt.rgba(1, 1, 1, 0.55)
                        enabled: stresser.threads > 1
                        onClicked: stresser.threads = Math.max(1, stresser.threads - 1)
                    }
                    HapticButton {
                        objectName: "threadsUp"
                        text: "+"
                        compact: true
                        color: Qt.rgba(1, 1, 1, 0.55)
                        enabled: stresser.threads < 2 * stresser.processorCount
                        onClicked: stresser.threads = Math.min(2 * stresser.processorCount, stresser.threads + 1)
                    }
                }
            }

            ColumnLayout {
                spacing: 4
                Text {
                    text: "DURATĂ (s)"
                    textFormat: Text.PlainText
                    font.family: "Quicksand"
                    font.pixelSize: 9
                    font.weight: Font.Black
                    font.letterSpacing: 1.5
                    color: Qt.rgba(1, 1, 1, 0.55)
                }
                RowLayout {
                    spacing: 10
                    AccentSlider {
                        objectName: "durationSlider"
                        Layout.preferredWidth: 240
                        from: 10
                        to: 300
                        stepSize: 5
                        snapMode: Slider.SnapAlways
                        tint: ThemeManager.accent
                        value: stresser.durationSec
                        onMoved: stresser.durationSec = value
                    }
                    Text {
                        objectName: "durationValue"
                        text: Fmt.whole(stresser.durationSec)
                        textFormat: Text.PlainText
                        font.family: "DejaVu Sans Mono"
                        font.pixelSize: 12
                        font.bold: true
                        color: "white"
                    }
                }
            }

            Item { Layout.fillWidth: true }

            HapticButton {
                objectName: "runButton"
                text: stresser.running ? "STOP" : "START"
                symbol: stresser.running ? "stop.fill" : "play.fill"
                color: stresser.running ? ThemeManager.critical : ThemeManager.good
                onClicked: view.toggleRun()
            }
        }
    }
}
