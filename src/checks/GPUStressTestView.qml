import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// The GPU stress sheet: draws the fractal load continuously from the moment it opens,
// samples GPU use and frame rate five times a second, and ends in the result card.
Item {
    id: view
    signal dismiss()

    implicitWidth: 980
    implicitHeight: 720

    GPUStressSession { id: session }
    // The renderer the load last ran on, kept for the header after the render card goes.
    property string rendererName: "—"
    readonly property bool glows: GraphicsInfo.api !== GraphicsInfo.Software && GraphicsInfo.api !== GraphicsInfo.Unknown
    readonly property var hostWindow: Window.window
    onHostWindowChanged: if (hostWindow) session.fps.attachWindow(hostWindow)

    function pct(fraction) {
        return session.utilizationMeasured ? Fmt.fixed(fraction * 100, 0) + "%" : "—"
    }
    function rerun() {
        Haptics.perform(Haptics.LevelChange)
        session.start()
    }

    Component.onCompleted: {
        if (!session.running && !session.done) {
            Haptics.perform(Haptics.LevelChange)
            session.start()
        }
    }
    Component.onDestruction: session.halt()

    AnimatedBackground {
        anchors.fill: parent
        colors: [ThemeManager.warning, ThemeManager.accentSecondary, ThemeManager.critical]
        intensity: 0.32
        blur: 70
        useShader: true
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        spacing: 18

        StressHeader {
            caption: "CORVANE · GPU STRESS TEST"
            title: "Render loop intens"
            subtitle: "OpenGL: " + view.rendererName
            pillText: session.running ? "ÎN EXECUȚIE" : "STANDBY"
            pillColor: session.running ? ThemeManager.warning : Qt.rgba(1, 1, 1, 0.55)
            onCloseRequested: view.dismiss()
        }

        Loader {
            objectName: "resultLoader"
            Layout.fillWidth: true
            active: session.done
            visible: active
            sourceComponent: TestReportCard {
                objectName: "reportCard"
                title: "GPU Stress Test"
                subtitle: session.subtitle()
                lines: { ThemeManager.theme; return session.resultLines() }
                accent: ThemeManager.warning
                rerunAction: function() { view.rerun() }
                closeAction: function() { view.dismiss() }
            }
        }

        // A fresh renderer for every run: its clock starts at zero again.
        Loader {
            objectName: "liveLoader"
            Layout.fillWidth: true
            active: !session.done
            visible: active
            sourceComponent: ColumnLayout {
                spacing: 18
                HoverGlassCard {
                    Layout.fillWidth: true
                    title: "RENDER LOAD"
                    icon: "rectangle.on.rectangle.angled"
                    accent: AppPalette.gpuGradient
                    accentColor: ThemeManager.warning
                    Item {
                        width: parent.width
                        height: 360
                        Rectangle {
                            anchors.fill: parent
                            radius: 14
                            color: Qt.rgba(0.02, 0.02, 0.05, 1)
                        }
                        MetalStressView {
                            id: load
                            objectName: "stressView"
                            anchors.fill: parent
                            cornerRadius: 12
                            intensity: session.intensity
                            running: session.running
                            onRendererNameChanged: view.rendererName = rendererName
                        }
                        AnimatedRing {
                            objectName: "loadRing"
                            anchors.centerIn: parent
                            width: 200
                            height: 200
                            value: session.gpu.utilization
                            gradient: AppPalette.gpuGradient
                            glowColor: ThemeManager.warning
                            centerText: view.pct(session.gpu.utilization)
                            centerValue: session.gpu.utilization * 100
                            centerFormat: (v) => session.utilizationMeasured ? Fmt.fixed(v, 0) + "%" : "—"
                            subText: "GPU"
                            lineWidth: 12
                            showShimmer: true
                            tickCount: 60
                            // A dark shadow lifts the ring off the render.
                            layer.enabled: view.glows
                            layer.effect: DropShadowEffect {
                                color: Qt.rgba(0, 0, 0, 0.55)
                                radius: 16
                                samples: 33
                                transparentBorder: true
                            }
                            GlowHalo {
                                inset: spill + 10
                                strokeWidth: 12
                                cornerRadius: width
                                color: Qt.rgba(0, 0, 0, 0.55)
                                radius: 16
                            }
                        }
                    }
                }
                RowLayout {
                    Layout.fillWidth: true
                    spacing: 14
                    StressTile { label: "GPU"; value: session.gpu.gpuName; valueColor: ThemeManager.warning; valueSize: 14 }
                    StressTile {
                        objectName: "fpsTile"
                        label: "FPS LIVE"
                        value: StressRules.frames(session.fps.currentFPS)
                        valueColor: ThemeManager.good
                        valueSize: 14
                    }
                    StressTile {
                        label: "REFRESH"
                        value: StressRules.hertz(session.fps.refreshNominalHz)
                        valueColor: ThemeManager.accent
                        valueSize: 14
                    }
                    StressTile {
                        label: "VRAM"
                        value: StressRules.vram(session.gpu.vramUsedBytes)
                        valueColor: ThemeManager.accentSecondary
                        valueSize: 14
                    }
                }
            }
        }

        Item { Layout.fillHeight: true }

        RowLayout {
            objectName: "controls"
            Layout.fillWidth: true
            spacing: 20

            ColumnLayout {
                spacing: 4
                Text {
                    text: "INTENSITATE"
                    textFormat: Text.PlainText
                    font.family: "Quicksand"
                    font.pixelSize: 9
                    font.weight: Font.Black
                    font.letterSpacing: 1.5
                    color: Qt.rgba(1, 1, 1, 0.55)
                }
                AccentSlider {
                    objectName: "intensitySlider"
                    Layout.preferredWidth: 220
                    from: 0.2
                    to: 1.0
                    tint: ThemeManager.warning
                    value: session.intensity
                    onMoved: session.intensity = value
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
                        Layout.preferredWidth: 220
                        from: 10
                        to: 120
                        stepSize: 5
                        snapMode: Slider.SnapAlways
                        tint: ThemeManager.warning
                        value: session.durationSec
                        onMoved: session.durationSec = value
                    }
                    Text {
                        text: Fmt.whole(session.durationSec)
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
                text: session.running ? "STOP" : "START"
                symbol: session.running ? "stop.fill" : "play.fill"
                color: session.running ? ThemeManager.critical : ThemeManager.good
                onClicked: {
                    if (session.running) {
                        Haptics.perform(Haptics.LevelChange)
                        session.stop()
                    } else {
                        view.rerun()
                    }
                }
            }
        }
    }
}
