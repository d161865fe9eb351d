import QtQuick
import QtQuick.Layouts
import Corvane

// The live memory sheet: memory in use with a two-minute trend, what is available, nine
// categories with a line of explanation each, and swap. One reading a second while open.
Item {
    id: view
    signal dismiss()

    implicitWidth: 940
    // A little taller than the 700 of the original layout: its rows need it at these font sizes.
    implicitHeight: 740

    MemoryWatcher { id: watcher }
    readonly property var b: watcher.breakdown
    readonly property string levelWord: StressRules.pressureWord(b.pressure)
    readonly property color levelColor: { ThemeManager.theme; return StressRules.pressureColor(b.pressure) }
    readonly property color dim: Qt.rgba(1, 1, 1, 0.55)
    readonly property bool glows: GraphicsInfo.api !== GraphicsInfo.Software && GraphicsInfo.api !== GraphicsInfo.Unknown

    function bytes(v) { return v === null ? "—" : Fmt.byteCount(v) }
    function pct(fraction) { return Fmt.fixed(fraction * 100, 0) + "%" }

    // Speculative and purgeable pages have no Linux counterpart: their cells show no figure.
    readonly property var cells: [
        { label: "Activ", value: b.active, color: ThemeManager.good, note: "În uz, neeliberabil rapid" },
        { label: "Wired", value: b.wired, color: ThemeManager.critical, note: "Blocat în kernel, nesfișabil" },
        { label: "Comprimat", value: b.compressed, color: ThemeManager.warning, note: "Pagini comprimate (compressor)" },
        { label: "Inactiv", value: b.inactive, color: ThemeManager.accent, note: "Recente, eliberabile" },
        { label: "Speculativ", value: null, color: ThemeManager.accentSecondary, note: "Pre-fetch fără referințe" },
        { label: "Purgeable", value: null, color: Qt.rgba(1.0, 0.5, 0.85, 1), note: "Eliminabile la cerere" },
        { label: "File-backed", value: b.fileBacked, color: Qt.alpha(ThemeManager.accentSecondary, 0.85), note: "Mappable din disk" },
        { label: "Aplicații", value: b.anonymous, color: ThemeManager.warning, note: "Heap / stack pur" },
        { label: "Partajat", value: b.shared, color: ThemeManager.accent, note: "Anonim necomprimat" }
    ]

    component ValueBlock: Column {
        id: block
        property string value
        property string caption
        property color glowColor: "white"
        spacing: 2
        Text {
            objectName: "blockValue"
            text: parent.value
            textFormat: Text.PlainText
            font.family: "DejaVu Sans Mono"
            font.pixelSize: 24
            font.weight: Font.Black
            color: "white"
            layer.enabled: view.glows
            layer.effect: DropShadowEffect {
                color: Qt.alpha(block.glowColor, 0.5)
                radius: 6
                samples: 13
                transparentBorder: true
            }
            GlowHalo {
                text: parent.text
                font: parent.font
                color: Qt.alpha(block.glowColor, 0.5)
                radius: 6
                color2: Qt.alpha(block.glowColor, 0.3)
                radius2: 2.4
            }
        }
        Text {
            objectName: "blockCaption"
            text: parent.caption
            textFormat: Text.PlainText
            font.family: "Inter"
            font.pixelSize: 10
            color: view.dim
        }
    }
    component SmallFigure: Column {
        property string label
        property string value
        property color valueColor
        spacing: 2
        Text {
            text: parent.label.toUpperCase()
            textFormat: Text.PlainText
            font.family: "Quicksand"
            font.pixelSize: 9
            font.weight: Font.Black
            font.letterSpacing: 1.2
            color: view.dim
        }
        Text {
            text: parent.value
            textFormat: Text.PlainText
            font.family: "DejaVu Sans Mono"
            font.pixelSize: 13
            font.bold: true
            color: parent.valueColor
        }
    }

    AnimatedBackground {
        anchors.fill: parent
        colors: [ThemeManager.good, ThemeManager.accent, ThemeManager.accentSecondary]
        intensity: 0.3
        blur: 70
        useShader: true
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 28
        spacing: 18

        StressHeader {
            caption: "CORVANE · MEMORIE"
            title: "RAM detalii live"
            subtitle: "Kernel: /proc/meminfo · /proc/pressure/memory"
            pillText: "Presiune: " + view.levelWord
            pillColor: view.levelColor
            onCloseRequested: view.dismiss()
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 18
            HoverGlassCard {
                Layout.fillWidth: true
                Layout.preferredWidth: 10
                Layout.fillHeight: true
                Layout.minimumHeight: implicitHeight
                title: "UTILIZAT"
                icon: "memorychip"
                accent: AppPalette.ramGradient
                accentColor: ThemeManager.good
                RowLayout {
                    width: parent.width
                    spacing: 18
                    AnimatedRing {
                        objectName: "usedRing"
                        Layout.preferredWidth: 130
                        Layout.preferredHeight: 130
                        value: view.b.usedFraction
                        gradient: AppPalette.ramGradient
                        glowColor: ThemeManager.good
                        centerText: view.pct(view.b.usedFraction)
                        centerValue: view.b.usedFraction * 100
                        centerFormat: (v) => Fmt.fixed(v, 0) + "%"
                        subText: "USED"
                        lineWidth: 12
                        showShimmer: true
                        tickCount: 60
                    }
                    ColumnLayout {
                        Layout.fillWidth: true
                        spacing: 6
                        ValueBlock {
                            objectName: "usedBlock"
                            value: view.bytes(view.b.used)
                            caption: "din " + view.bytes(view.b.total)
                            glowColor: ThemeManager.good
                        }
                        Sparkline {
                            objectName: "usedTrend"
                            Layout.fillWidth: true
                            Layout.preferredHeight: 40
                            samples: watcher.history
                            gradient: AppPalette.ramGradient
                            glowColor: ThemeManager.good
                            normalizedMax: 1.0
                            showPulse: true
                            showGrid: true
                        }
                    }
                }
            }
            HoverGlassCard {
                Layout.fillWidth: true
                Layout.preferredWidth: 10
                Layout.fillHeight: true
                title: "DISPONIBIL"
                icon: "tray.and.arrow.down"
                accent: AppPalette.cpuGradient
                accentColor: ThemeManager.accent
                ColumnLayout {
                    width: parent.width
                    spacing: 10
                    ValueBlock {
                        objectName: "availableBlock"
                        value: view.bytes(view.b.available)
                        caption: "incl. cache eliberabil"
                        glowColor: ThemeManager.accent
                    }
                    Row {
                        spacing: 12
                        SmallFigure { label: "Free"; value: view.bytes(view.b.free); valueColor: ThemeManager.accent }
                        SmallFigure { label: "Cached"; value: view.bytes(view.b.cached); valueColor: ThemeManager.good }
                    }
                }
            }
        }

        GridLayout {
            objectName: "cells"
            Layout.fillWidth: true
            columns: 3
            columnSpacing: 12
            rowSpacing: 12
            Repeater {
                model: view.cells
                delegate: Rectangle {
                    id: cell
                    required property var modelData
                    objectName: "cell"
                    Layout.fillWidth: true
                    Layout.preferredWidth: 10
                    implicitHeight: cellColumn.implicitHeight + 20
                    radius: 10
                    color: Qt.rgba(1, 1, 1, 0.04)
                    border.width: 1
                    border.color: Qt.rgba(1, 1, 1, 0.1)
                    Column {
                        id: cellColumn
                        anchors.fill: parent
                        anchors.margins: 10
                        spacing: 4
                        Text {
                            objectName: "cellLabel"
                            text: cell.modelData.label.toUpperCase()
                            textFormat: Text.PlainText
                            font.family: "Quicksand"
                            font.pixelSize: 9
                            font.weight: Font.Black
                            font.letterSpacing: 1.5
                            color: view.dim
                        }
                        Text {
                            objectName: "cellValue"
                            text: view.bytes(cell.modelData.value)
                            textFormat: Text.PlainText
                            font.family: "DejaVu Sans Mono"
                            font.pixelSize: 15
                            font.bold: true
                            color: cell.modelData.color
                        }
                        Text {
                            width: parent.width
                            text: cell.modelData.note
                            textFormat: Text.PlainText
                            wrapMode: Text.WordWrap
                            maximumLineCount: 2
                            elide: Text.ElideRight
                            font.family: "Inter"
                            font.pixelSize: 10
                            color: view.dim
                        }
                    }
                }
            }
        }

        HoverGlassCard {
            Layout.fillWidth: true
            title: "SWAP"
            icon: "arrow.left.arrow.right.square"
            accent: AppPalette.gpuGradient
            accentColor: ThemeManager.warning
            RowLayout {
                width: parent.width
                spacing: 24
                Column {
                    spacing: 4
                    Text {
                        text: "Folosit"
                        textFormat: Text.PlainText
                        font.family: "Quicksand"
                        font.pixelSize: 9
                        font.weight: Font.Black
                        font.letterSpacing: 1.3
                        color: view.dim
                    }
                    Text {
                        objectName: "swapUsed"
                        text: view.bytes(view.b.swapUsed)
                        textFormat: Text.PlainText
                        font.family: "DejaVu Sans Mono"
                        font.pixelSize: 20
                        font.bold: true
                        color: ThemeManager.warning
                    }
                }
                Column {
                    spacing: 4
                    Text {
                        text: "Total alocat"
                        textFormat: Text.PlainText
                        font.family: "Quicksand"
                        font.pixelSize: 9
                        font.weight: Font.Black
                        font.letterSpacing: 1.3
                        color: view.dim
                    }
                    Text {
                        objectName: "swapTotal"
                        text: view.bytes(view.b.swapTotal)
                        textFormat: Text.PlainText
                        font.family: "DejaVu Sans Mono"
                        font.pixelSize: 20
                        font.bold: true
                        color: "white"
                    }
                }
                Item { Layout.fillWidth: true }
                ProgressBarRow {
                    objectName: "swapBar"
                    Layout.preferredWidth: 300
                    value: view.b.swapFraction
                    label: "Swap pressure"
                    trailing: view.pct(view.b.swapFraction)
                    color: ThemeManager.warning
                }
            }
        }

        RowLayout {
            Layout.fillWidth: true
            SymbolIcon { symbol: "info.circle"; color: view.dim }
            Text {
                text: "Pentru top procese după memorie folosește tab-ul Activitate."
                textFormat: Text.PlainText
                font.family: "Inter"
                font.pixelSize: 10
                color: view.dim
            }
            Item { Layout.fillWidth: true }
        }
        Item { Layout.fillHeight: true }
    }
}
