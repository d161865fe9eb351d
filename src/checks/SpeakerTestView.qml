import QtQuick
import Corvane

// The speaker test: a sine tone on the left, right or both speakers, its frequency from
// presets or a slider, with a live waveform and level meter of what goes to the output.
Item {
    id: screen
    signal dismiss()

    implicitWidth: 620
    implicitHeight: column.implicitHeight + 56

    readonly property alias tone: generator

    ToneGenerator { id: generator }
    // The sink stops before the generator goes.
    Component.onDestruction: generator.stop()

    Rectangle { anchors.fill: parent; color: "#0b0d16" }
    AnimatedBackground {
        anchors.fill: parent
        colors: [ThemeManager.good, ThemeManager.accent, ThemeManager.accentSecondary]
        intensity: 0.35
        blur: 70
        useShader: true
    }

    Column {
        id: column
        x: 28
        y: 28
        width: parent.width - 56
        spacing: 24

        Item {
            width: parent.width
            height: heading.height
            Column {
                id: heading
                spacing: 2
                Text {
                    text: "TEST BOXE"
                    textFormat: Text.PlainText
                    font.family: "Quicksand"; font.pixelSize: 10; font.weight: Font.Black; font.letterSpacing: 2.5
                    color: Qt.rgba(1, 1, 1, 0.55)
                }
                Text {
                    text: "Verificare stereo + frecvențe"
                    textFormat: Text.PlainText
                    font.family: "Quicksand"; font.pixelSize: 22; font.weight: Font.Bold
                    color: "white"
                }
            }
            HapticButton {
                objectName: "closeButton"
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                symbol: "xmark"
                color: ThemeManager.critical
                compact: true
                onClicked: { Haptics.perform(Haptics.Generic); screen.dismiss() }
            }
        }

        HoverGlassCard {
            width: parent.width
            title: "WAVEFORM LIVE"
            icon: "waveform"
            accent: AppPalette.ramGradient
            accentColor: ThemeManager.good
            Column {
                width: parent ? parent.width : 0
                spacing: 12
                WaveformPlot {
                    objectName: "waveform"
                    width: parent.width
                    height: 90
                    buffer: generator.buffer
                    paint: AppPalette.ramGradient
                    glowColor: ThemeManager.good
                }
                LevelMeter {
                    anchors.horizontalCenter: parent.horizontalCenter
                    level: generator.level
                    glowColor: ThemeManager.good
                    bars: 24
                }
            }
        }

        HoverGlassCard {
            width: parent.width
            title: "CANAL"
            icon: "speaker.wave.2.fill"
            accent: AppPalette.cpuGradient
            accentColor: ThemeManager.accent
            Row {
                spacing: 10
                Repeater {
                    model: [
                        { channel: "left", text: "Stânga", symbol: "speaker.wave.2.fill" },
                        { channel: "right", text: "Dreapta", symbol: "speaker.wave.2.fill" },
                        { channel: "both", text: "Ambele", symbol: "speaker.wave.3.fill" }
                    ]
                    HapticButton {
                        required property var modelData
                        objectName: "channel_" + modelData.channel
                        text: modelData.text
                        symbol: modelData.symbol
                        color: generator.channel === modelData.channel ? ThemeManager.accent : Qt.rgba(1, 1, 1, 0.4)
                        onClicked: {
                            Haptics.perform(Haptics.Alignment)
                            generator.channel = modelData.channel
                        }
                    }
                }
            }
        }

        HoverGlassCard {
            width: parent.width
            title: "FRECVENȚĂ"
            icon: "waveform.path.ecg"
            accent: AppPalette.gpuGradient
            accentColor: ThemeManager.warning
            Column {
                width: parent ? parent.width : 0
                spacing: 10
                Row {
                    anchors.horizontalCenter: parent.horizontalCenter
                    spacing: 10
                    Text {
                        id: frequencyReading
                        objectName: "frequencyText"
                        text: Fmt.whole(generator.frequency) + " Hz"
                        textFormat: Text.PlainText
                        font.family: "DejaVu Sans Mono"; font.pixelSize: 28; font.weight: Font.Bold
                        color: "white"
                    }
                    Text {
                        objectName: "noteText"
                        anchors.baseline: frequencyReading.baseline
                        text: CheckRules.noteName(generator.frequency)
                        textFormat: Text.PlainText
                        font.family: "DejaVu Sans Mono"; font.pixelSize: 14; font.weight: Font.Bold
                        color: ThemeManager.warning
                    }
                }
                AccentSlider {
                    objectName: "frequencySlider"
                    width: parent.width
                    from: 80
                    to: 8000
                    value: generator.frequency
                    tint: ThemeManager.warning
                    onMoved: generator.frequency = value
                }
                Row {
                    anchors.horizontalCenter: parent.horizontalCenter
                    spacing: 8
                    Repeater {
                        model: [80, 220, 440, 880, 2200, 4400]
                        HapticButton {
                            required property int modelData
                            objectName: "preset_" + modelData
                            text: modelData + "Hz"
                            font.pixelSize: 10
                            color: ThemeManager.warning
                            compact: true
                            onClicked: {
                                Haptics.perform(Haptics.Alignment)
                                generator.frequency = modelData
                            }
                        }
                    }
                }
            }
        }

        // The error sits close above the play button: the sheet must keep the button inside
        // the smallest window.
        Column {
            width: parent.width
            spacing: 8
            Text {
                objectName: "errorText"
                visible: generator.errorMessage !== ""
                width: parent.width
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.WordWrap
                maximumLineCount: 2
                elide: Text.ElideRight
                text: generator.errorMessage
                textFormat: Text.PlainText
                font.family: "Inter"; font.pixelSize: 12; font.weight: Font.DemiBold
                color: ThemeManager.critical
            }

            HapticButton {
                objectName: "playButton"
                anchors.horizontalCenter: parent.horizontalCenter
                text: generator.isPlaying ? "Stop" : "Redă tonul"
                symbol: generator.isPlaying ? "stop.fill" : "play.fill"
                color: generator.isPlaying ? ThemeManager.critical : ThemeManager.good
                font.pixelSize: 14
                font.weight: Font.Bold
                leftPadding: 20
                rightPadding: 20
                topPadding: 12
                bottomPadding: 12
                onClicked: {
                    Haptics.perform(Haptics.LevelChange)
                    if (generator.isPlaying)
                        generator.stop()
                    else
                        generator.start()
                }
            }
        }
    }

    // The alignment tick of every frequency change (slider or preset).
    OnChangeCompat {
        value: generator.frequency
        onChanged: Haptics.perform(Haptics.Alignment)
    }
}
