import QtQuick
import QtQuick.Controls.Basic
import Corvane

// The SSD quick test: picks a volume and a size, runs the benchmark at once when shown, and
// ends in the result card.
Item {
    id: screen
    signal dismiss()

    implicitWidth: 980
    implicitHeight: 720

    property real totalMB: 1024
    property var volumes: []
    property string selectedVolumePath: "/"
    readonly property bool busy: tester.phase === SSDSpeedTester.Writing || tester.phase === SSDSpeedTester.Reading
    readonly property color writeColor: ThemeManager.warning
    readonly property color readColor: ThemeManager.accent
    readonly property color phaseColor: {
        switch (tester.phase) {
        case SSDSpeedTester.Writing: return ThemeManager.warning
        case SSDSpeedTester.Reading: return ThemeManager.accent
        case SSDSpeedTester.Done: return ThemeManager.good
        default: return Qt.rgba(1, 1, 1, 0.55)
        }
    }

    function volumeNamed(path) {
        for (let i = 0; i < volumes.length; ++i)
            if (volumes[i].path === path)
                return volumes[i].name
        return "Disc intern"
    }
    function mbText(v) { return Fmt.fixed(v, 0) + " MB/s" }
    function roleColor(role) {
        return role === "good" ? ThemeManager.good : role === "accent" ? ThemeManager.accent : ThemeManager.warning
    }
    function startRun() {
        Haptics.perform(Haptics.LevelChange)
        tester.start(64, Math.floor(totalMB), selectedVolumePath)
    }

    SSDSpeedTester { id: tester }

    Component.onCompleted: {
        volumes = tester.loadVolumes()
        if (tester.phase === SSDSpeedTester.Idle)
            startRun()
    }
    // The engine goes with the sheet: its worker stops and removes the file.
    Component.onDestruction: tester.stop()

    Rectangle { anchors.fill: parent; color: "#0b0d16" }
    AnimatedBackground {
        anchors.fill: parent
        colors: [Qt.rgba(1.0, 0.45, 0.7, 1), ThemeManager.accent, ThemeManager.accentSecondary]
        intensity: 0.3
        blur: 70
        useShader: true
    }

    Column {
        id: content
        // The stack sits in the middle of the fixed sheet, not at its top.
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        anchors.margins: 28
        spacing: 18

        // Header
        Item {
            width: parent.width
            height: titleBlock.height
            Column {
                id: titleBlock
                spacing: 2
                Text {
                    text: "CORVANE · SSD SPEED TEST"
                    textFormat: Text.PlainText
                    font.family: "Quicksand"; font.pixelSize: 10; font.weight: Font.Black; font.letterSpacing: 2.5
                    color: Qt.rgba(1, 1, 1, 0.55)
                }
                Text {
                    text: "Disk Speed Test"
                    textFormat: Text.PlainText
                    font.family: "Quicksand"; font.pixelSize: 26; font.weight: Font.Bold
                    color: "white"
                }
            }
            Row {
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                spacing: 10
                Rectangle {
                    anchors.verticalCenter: parent.verticalCenter
                    width: phaseText.implicitWidth + 20
                    height: phaseText.implicitHeight + 10
                    radius: height / 2
                    color: Qt.alpha(screen.phaseColor, 0.2)
                    Text {
                        id: phaseText
                        objectName: "phasePill"
                        anchors.centerIn: parent
                        text: tester.phaseText.toUpperCase()
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
                    onClicked: screen.dismiss()
                }
            }
        }

        TestReportCard {
            objectName: "reportCard"
            visible: tester.phase === SSDSpeedTester.Done
            width: parent.width
            title: "SSD Speed Test"
            subtitle: "Disk benchmark · " + screen.volumeNamed(tester.runVolumePath) + " · " + tester.runTotalMB + " MB · "
                      + (tester.cacheBypassed ? "uncached" : "cu cache")
            accent: ThemeManager.accent
            lines: visible ? [
                { label: "Volum", value: screen.volumeNamed(tester.runVolumePath), color: "white" },
                { label: "Peak Write", value: screen.mbText(tester.peakWriteMBs), color: ThemeManager.warning },
                { label: "Peak Read", value: screen.mbText(tester.peakReadMBs), color: ThemeManager.accent },
                { label: "Avg Write", value: screen.mbText(tester.avgWriteMBs), color: ThemeManager.warning },
                { label: "Avg Read", value: screen.mbText(tester.avgReadMBs), color: ThemeManager.accent },
                { label: "Mărime test", value: tester.runTotalMB + " MB", color: "white" },
                { label: "Bloc", value: tester.runBlockMB + " MB", color: "white" },
                tester.cacheBypassed
                    ? { label: "Mod", value: "O_DIRECT (direct)", color: ThemeManager.good }
                    : { label: "Mod", value: "Cache neocolit (buffered)", color: ThemeManager.warning },
                { label: "Verdict", value: CheckRules.ssdVerdict(tester.avgReadMBs, tester.avgWriteMBs),
                  color: screen.roleColor(CheckRules.ssdVerdictRole(tester.avgReadMBs, tester.avgWriteMBs)) }
            ] : []
            rerunAction: function() { screen.startRun() }
            closeAction: function() { screen.dismiss() }
        }

        Column {
            id: liveBlock
            visible: tester.phase !== SSDSpeedTester.Done
            width: parent.width
            spacing: 18

            Row {
                spacing: 20
                HoverGlassCard {
                    width: (liveBlock.width - 20) / 2
                    height: 350
                    title: "WRITE"
                    icon: "arrow.up.circle.fill"
                    accent: AppPalette.gpuGradient
                    accentColor: screen.writeColor
                    SpeedometerGauge {
                        objectName: "writeGauge"
                        width: parent.width
                        height: 280
                        value: tester.writeMBs
                        maxValue: CheckRules.ssdGaugeMax(tester.peakReadMBs, tester.peakWriteMBs)
                        unit: "MB/s"
                        label: "WRITE"
                        gradient: AppPalette.gpuGradient
                        glowColor: screen.writeColor
                    }
                }
                HoverGlassCard {
                    width: (liveBlock.width - 20) / 2
                    height: 350
                    title: "READ"
                    icon: "arrow.down.circle.fill"
                    accent: AppPalette.cpuGradient
                    accentColor: screen.readColor
                    SpeedometerGauge {
                        objectName: "readGauge"
                        width: parent.width
                        height: 280
                        value: tester.readMBs
                        maxValue: CheckRules.ssdGaugeMax(tester.peakReadMBs, tester.peakWriteMBs)
                        unit: "MB/s"
                        label: "READ"
                        gradient: AppPalette.cpuGradient
                        glowColor: screen.readColor
                    }
                }
            }

            Row {
                spacing: 14
                Repeater {
                    model: [
                        { label: "PEAK WRITE", value: tester.peakWriteMBs, color: screen.writeColor },
                        { label: "PEAK READ", value: tester.peakReadMBs, color: screen.readColor },
                        { label: "AVG WRITE", value: tester.avgWriteMBs, color: screen.writeColor },
                        { label: "AVG READ", value: tester.avgReadMBs, color: screen.readColor }
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
                                text: modelData.label
                                textFormat: Text.PlainText
                                font.family: "Quicksand"; font.pixelSize: 9; font.weight: Font.Black; font.letterSpacing: 1.5
                                color: Qt.rgba(1, 1, 1, 0.5)
                            }
                            Text {
                                objectName: "statValue"
                                text: screen.mbText(modelData.value)
                                textFormat: Text.PlainText
                                font.family: "DejaVu Sans Mono"; font.pixelSize: 15; font.weight: Font.Bold
                                color: modelData.color
                            }
                        }
                    }
                }
            }

            Column {
                width: parent.width
                spacing: 6
                Item {
                    width: parent.width
                    height: statusText.height
                    Text {
                        id: statusText
                        objectName: "statusText"
                        width: parent.width - percentText.width - 12
                        text: tester.statusMessage
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        font.family: "Inter"; font.pixelSize: 12
                        color: tester.failed ? ThemeManager.critical : Qt.rgba(1, 1, 1, 0.8)
                    }
                    Text {
                        id: percentText
                        objectName: "percentText"
                        anchors.right: parent.right
                        text: Math.floor(tester.progress * 100) + "%"
                        textFormat: Text.PlainText
                        font.family: "DejaVu Sans Mono"; font.pixelSize: 11; font.weight: Font.Bold
                        color: "white"
                    }
                }
                Rectangle {
                    width: parent.width
                    height: 8
                    radius: 4
                    color: Qt.rgba(1, 1, 1, 0.07)
                    Rectangle {
                        objectName: "progressFill"
                        width: Math.max(0, Math.min(1, tester.progress)) * parent.width
                        height: parent.height
                        radius: 4
                        gradient: Gradient {
                            orientation: Gradient.Horizontal
                            GradientStop { position: 0; color: ThemeManager.accent }
                            GradientStop { position: 1; color: Qt.rgba(1.0, 0.45, 0.7, 1) }
                        }
                    }
                }
            }
        }

        // Controls
        Item {
            width: parent.width
            height: 52
            Row {
                anchors.verticalCenter: parent.verticalCenter
                spacing: 14
                Column {
                    spacing: 4
                    Text {
                        text: "VOLUM"
                        textFormat: Text.PlainText
                        font.family: "Quicksand"; font.pixelSize: 9; font.weight: Font.Black; font.letterSpacing: 1.5
                        color: Qt.rgba(1, 1, 1, 0.55)
                    }
                    ComboBox {
                        id: volumePicker
                        objectName: "volumePicker"
                        width: 240
                        enabled: !screen.busy
                        model: screen.volumes
                        textRole: "label"
                        valueRole: "path"
                        displayText: currentIndex >= 0 ? currentText : screen.selectedVolumePath
                        Component.onCompleted: currentIndex = indexOfValue(screen.selectedVolumePath)
                        onActivated: screen.selectedVolumePath = currentValue
                        font.family: "Inter"
                        font.pixelSize: 12
                        contentItem: Text {
                            leftPadding: 12
                            rightPadding: 28
                            text: volumePicker.displayText
                            textFormat: Text.PlainText
                            font: volumePicker.font
                            color: volumePicker.enabled ? "white" : Qt.rgba(1, 1, 1, 0.45)
                            verticalAlignment: Text.AlignVCenter
                            elide: Text.ElideRight
                        }
                        indicator: SymbolIcon {
                            x: volumePicker.width - width - 10
                            anchors.verticalCenter: parent.verticalCenter
                            symbol: "chevron.down"
                            pointSize: 12
                            color: Qt.rgba(1, 1, 1, volumePicker.enabled ? 0.7 : 0.3)
                        }
                        background: Rectangle {
                            implicitHeight: 32
                            radius: 8
                            color: Qt.rgba(1, 1, 1, volumePicker.enabled ? 0.07 : 0.03)
                            border.width: 1
                            border.color: Qt.rgba(1, 1, 1, 0.12)
                        }
                        delegate: ItemDelegate {
                            required property var modelData
                            required property int index
                            width: volumePicker.width
                            highlighted: volumePicker.highlightedIndex === index
                            contentItem: Text {
                                text: modelData.label
                                textFormat: Text.PlainText
                                font: volumePicker.font
                                color: "white"
                                elide: Text.ElideRight
                            }
                            background: Rectangle { color: highlighted ? Qt.rgba(1, 1, 1, 0.1) : "transparent" }
                        }
                        popup.background: Rectangle {
                            radius: 8
                            color: "#161a26"
                            border.width: 1
                            border.color: Qt.rgba(1, 1, 1, 0.12)
                        }
                    }
                }
                Column {
                    spacing: 4
                    Text {
                        text: "MĂRIME TEST"
                        textFormat: Text.PlainText
                        font.family: "Quicksand"; font.pixelSize: 9; font.weight: Font.Black; font.letterSpacing: 1.5
                        color: Qt.rgba(1, 1, 1, 0.55)
                    }
                    Row {
                        spacing: 10
                        AccentSlider {
                            objectName: "sizeSlider"
                            width: 280
                            anchors.verticalCenter: parent.verticalCenter
                            from: 256
                            to: 4096
                            stepSize: 256
                            snapMode: Slider.SnapAlways
                            value: screen.totalMB
                            tint: ThemeManager.accent
                            onMoved: screen.totalMB = value
                        }
                        Text {
                            objectName: "sizeText"
                            anchors.verticalCenter: parent.verticalCenter
                            text: Math.floor(screen.totalMB) + " MB"
                            textFormat: Text.PlainText
                            font.family: "DejaVu Sans Mono"; font.pixelSize: 12; font.weight: Font.Bold
                            color: "white"
                        }
                    }
                }
            }
            HapticButton {
                objectName: "startStopButton"
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                text: screen.busy ? "STOP" : "START"
                symbol: screen.busy ? "stop.fill" : "play.fill"
                color: screen.busy ? ThemeManager.critical : ThemeManager.good
                onClicked: {
                    if (screen.busy) {
                        Haptics.perform(Haptics.LevelChange)
                        tester.stop()
                    } else {
                        screen.startRun()
                    }
                }
            }
        }
    }
}
