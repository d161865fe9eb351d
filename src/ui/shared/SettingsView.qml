import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// The settings tab: Bar Mode pills, edge and height, colour theme, appearance and
// performance values, the PDF report and the desktop-mode shortcut. Every control reads
// and writes the stored preferences directly.
Item {
    id: settings

    readonly property var themeManager: ThemeManager
    readonly property var barSettings: BarModeSettings
    readonly property bool glows: GraphicsInfo.api !== GraphicsInfo.Software && GraphicsInfo.api !== GraphicsInfo.Unknown
                                  && GraphicsInfo.api !== GraphicsInfo.Unknown
    // Bumped whenever a pill's flag is written, so the pill chips re-read them.
    property int barRevision: 0

    Connections {
        target: BarModeSettings
        function onPillsChanged() { settings.barRevision++ }
    }

    function tap() { Haptics.perform(Haptics.Alignment) }

    KeepsPlace {
        flickable: scroller
        key: "settings"
    }

    Flickable {
        id: scroller
        objectName: "scroller"
        anchors.fill: parent
        contentWidth: width
        contentHeight: column.implicitHeight + 48
        boundsBehavior: Flickable.StopAtBounds
        clip: true
        ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded }

        ColumnLayout {
            id: column
            objectName: "settingsColumn"
            width: Math.min(900, scroller.width) - 48
            x: Math.round((scroller.width - width) / 2)
            y: 24
            spacing: 18

            ColumnLayout {
                Layout.fillWidth: true
                spacing: 4
                Text {
                    objectName: "eyebrow"
                    text: "SETĂRI"
                    textFormat: Text.PlainText
                    font.family: "Quicksand"
                    font.pixelSize: 10
                    font.weight: Font.ExtraBold
                    font.letterSpacing: 2.5
                    color: Qt.rgba(1, 1, 1, 0.55)
                }
                Text {
                    objectName: "title"
                    text: "Personalizează widget-ul"
                    textFormat: Text.PlainText
                    font.family: "Quicksand"
                    font.pixelSize: 26
                    font.weight: Font.Bold
                    color: "white"
                }
            }

            // 1. Colour theme.
            HoverGlassCard {
                objectName: "themeCard"
                Layout.fillWidth: true
                title: "TEMĂ CULORI"
                icon: "paintpalette"
                accent: AppPalette.displayGradient
                accentColor: ThemeManager.accentSecondary

                ColumnLayout {
                    width: parent.width
                    spacing: 8
                    BodyText {
                        text: "Schimbă paleta de culori folosită peste tot: sidebar, indicatori, butoane, glow."
                        font.pixelSize: 11
                        color: Qt.rgba(1, 1, 1, 0.7)
                    }
                    GridLayout {
                        Layout.fillWidth: true
                        columns: 3
                        columnSpacing: 10
                        rowSpacing: 10
                        Repeater {
                            model: SettingsStore.themes()
                            delegate: ThemeChip {
                                required property string modelData
                                Layout.fillWidth: true
                                Layout.preferredWidth: 1
                                theme: modelData
                            }
                        }
                    }
                }
            }

            // 2. Appearance.
            HoverGlassCard {
                objectName: "appearanceCard"
                Layout.fillWidth: true
                title: "APARENȚĂ"
                icon: "paintbrush"
                accent: AppPalette.displayGradient
                accentColor: ThemeManager.accentSecondary

                ColumnLayout {
                    width: parent.width
                    spacing: 14
                    ValueSliderRow {
                        objectName: "intensityRow"
                        Layout.fillWidth: true
                        label: "Intensitate fundal"
                        from: 0
                        to: 1
                        value: SettingsStore.bgIntensity
                        onMoved: (v) => SettingsStore.bgIntensity = v
                    }
                    AccentSwitch {
                        objectName: "particlesToggle"
                        Layout.fillWidth: true
                        text: "Particule animate în fundal"
                        font.family: "Quicksand"
                        font.pixelSize: 12
                        font.weight: Font.Medium
                        checked: SettingsStore.showParticles
                        onToggled: SettingsStore.showParticles = checked
                    }
                    // Without a GPU the aurora isn't drawn: say what the two rows can't do here.
                    RowLayout {
                        objectName: "staticBackgroundNote"
                        Layout.fillWidth: true
                        visible: !settings.glows
                        spacing: 6
                        SymbolIcon {
                            symbol: "info.circle"
                            pointSize: 10
                            color: AppPalette.textSecondary
                        }
                        BodyText {
                            objectName: "staticBackgroundText"
                            Layout.fillWidth: true
                            text: "Fără accelerare grafică fundalul rămâne static: intensitatea nu se vede, iar particulele nu se mișcă."
                            font.pixelSize: 10
                            color: AppPalette.textSecondary
                        }
                    }
                }
            }

            // 3. Performance.
            HoverGlassCard {
                objectName: "performanceCard"
                Layout.fillWidth: true
                title: "PERFORMANȚĂ"
                icon: "speedometer"
                accent: AppPalette.cpuGradient
                accentColor: ThemeManager.accent

                ColumnLayout {
                    width: parent.width
                    spacing: 8
                    ValueSliderRow {
                        objectName: "refreshRow"
                        Layout.fillWidth: true
                        label: "Refresh rate (s)"
                        from: 0.5
                        to: 5.0
                        value: SettingsStore.refreshRate
                        onMoved: (v) => SettingsStore.refreshRate = v
                    }
                    RowLayout {
                        spacing: 6
                        SymbolIcon {
                            symbol: "info.circle"
                            pointSize: 10
                            color: AppPalette.textSecondary
                        }
                        BodyText {
                            Layout.fillWidth: true
                            text: "Valoare mai mică = updates mai dese, mai multă energie."
                            font.pixelSize: 10
                            color: AppPalette.textSecondary
                        }
                    }
                }
            }

            // 4. PDF report.
            HoverGlassCard {
                objectName: "reportCard"
                Layout.fillWidth: true
                title: "EXPORT RAPORT PDF"
                icon: "doc.text"
                accent: AppPalette.displayGradient
                accentColor: ThemeManager.accentSecondary

                ColumnLayout {
                    width: parent.width
                    spacing: 10
                    BodyText {
                        text: "Generează un raport PDF complet cu toate informațiile despre computerul tău: chip, RAM, SSD, baterie, WiFi, top procese, privacy events. Util pentru service, suport tehnic sau arhivă."
                        font.pixelSize: 12
                        color: Qt.rgba(1, 1, 1, 0.78)
                    }
                    HapticButton {
                        objectName: "reportButton"
                        text: "Generează raport PDF"
                        symbol: "square.and.arrow.up"
                        color: ThemeManager.accentSecondary
                        compact: false
                        onClicked: SystemReportPage.exportPDF()
                    }
                }
            }

            // 5. Bar Mode pills, height and edge.
            HoverGlassCard {
                objectName: "barCard"
                Layout.fillWidth: true
                title: "BAR MODE — PILL-URI"
                icon: "rectangle.topthird.inset.filled"
                accent: AppPalette.cpuGradient
                accentColor: ThemeManager.accent

                ColumnLayout {
                    width: parent.width
                    spacing: 8
                    BodyText {
                        objectName: "pillsHint"
                        text: "Selectează ce pill-uri vrei să apară în bara de sus (" + SettingsStore.shortcutText("Ctrl+D") + ")."
                        font.pixelSize: 11
                        color: Qt.rgba(1, 1, 1, 0.7)
                    }
                    GridLayout {
                        Layout.fillWidth: true
                        columns: 3
                        columnSpacing: 8
                        rowSpacing: 8
                        Repeater {
                            model: BarModeSettings.pills
                            delegate: PillChip {
                                required property string modelData
                                Layout.fillWidth: true
                                Layout.preferredWidth: 1
                                pill: modelData
                            }
                        }
                    }
                    RowLayout {
                        Layout.topMargin: 4
                        spacing: 10
                        Text {
                            text: "Înălțime"
                            textFormat: Text.PlainText
                            font.family: "Quicksand"
                            font.pixelSize: 11
                            font.weight: Font.ExtraBold
                            font.letterSpacing: 1.3
                            color: Qt.rgba(1, 1, 1, 0.55)
                        }
                        AccentSlider {
                            id: heightSlider
                            objectName: "heightSlider"
                            Layout.preferredWidth: 220
                            from: SettingsStore.barHeightMin
                            to: SettingsStore.barHeightMax
                            stepSize: SettingsStore.barHeightStep
                            snapMode: Slider.SnapAlways
                            value: SettingsStore.snapBarHeight(BarModeSettings.height)
                            onMoved: BarModeSettings.height = SettingsStore.snapBarHeight(value)
                        }
                        Text {
                            objectName: "heightLabel"
                            text: SettingsStore.barHeightLabel(BarModeSettings.height)
                            textFormat: Text.PlainText
                            font.family: "DejaVu Sans Mono"
                            font.pixelSize: 11
                            font.weight: Font.Bold
                            color: "white"
                        }
                        SegmentedPicker {
                            objectName: "edgePicker"
                            Layout.preferredWidth: 130
                            Accessible.name: "Poziție"
                            labels: ["Sus", "Jos"]
                            currentIndex: BarModeSettings.positionRaw === "bottom" ? 1 : 0
                            onPicked: (index) => BarModeSettings.positionRaw = index === 1 ? "bottom" : "top"
                        }
                    }
                }
            }

            // 6. Desktop mode.
            HoverGlassCard {
                objectName: "desktopCard"
                Layout.fillWidth: true
                title: "MOD DESKTOP"
                icon: "macwindow"
                accent: AppPalette.ramGradient
                accentColor: ThemeManager.good

                ColumnLayout {
                    width: parent.width
                    spacing: 12
                    BodyText {
                        objectName: "desktopHint"
                        textFormat: Text.StyledText
                        text: "Apasă <b>" + SettingsStore.shortcutText("Ctrl+Shift+D", true)
                              + "</b> ca să fixezi widget-ul peste wallpaper, sub toate aplicațiile. Funcționează pe toate workspace-urile."
                        font.pixelSize: 12
                        color: Qt.rgba(1, 1, 1, 0.78)
                    }
                    Rectangle {
                        objectName: "keyBadge"
                        implicitWidth: keys.implicitWidth + 24
                        implicitHeight: keys.implicitHeight + 16
                        radius: 10
                        color: Qt.alpha(ThemeManager.accent, 0.12)
                        Row {
                            id: keys
                            anchors.centerIn: parent
                            spacing: 8
                            SymbolIcon { symbol: "command"; pointSize: 13; color: ThemeManager.accent }
                            SymbolIcon { symbol: "shift"; pointSize: 13; color: ThemeManager.accent }
                            Text {
                                text: "D"
                                textFormat: Text.PlainText
                                font.family: "DejaVu Sans Mono"
                                font.pixelSize: 13
                                font.weight: Font.Bold
                                color: ThemeManager.accent
                            }
                        }
                    }
                }
            }
        }
    }

    component BodyText: Text {
        Layout.fillWidth: true
        textFormat: Text.PlainText
        wrapMode: Text.WordWrap
        font.family: "Quicksand"
    }

    // Label, "%.2f" value and a continuous slider over a stored value; a haptic tap on
    // every change of that value.
    component ValueSliderRow: ColumnLayout {
        id: valueRow
        property string label
        property real from: 0
        property real to: 1
        property real value: 0
        signal moved(real v)
        spacing: 6

        RowLayout {
            spacing: 8
            Text {
                text: valueRow.label.toUpperCase()
                textFormat: Text.PlainText
                font.family: "Quicksand"
                font.pixelSize: 9
                font.weight: Font.ExtraBold
                font.letterSpacing: 1.3
                color: Qt.rgba(1, 1, 1, 0.55)
            }
            Text {
                objectName: "valueText"
                text: Fmt.fixed(valueRow.value, 2)
                textFormat: Text.PlainText
                font.family: "DejaVu Sans Mono"
                font.pixelSize: 11
                font.weight: Font.Bold
                color: "white"
            }
        }
        AccentSlider {
            objectName: "valueSlider"
            Layout.fillWidth: true
            from: valueRow.from
            to: valueRow.to
            value: valueRow.value
            onMoved: valueRow.moved(value)
        }
        OnChangeCompat {
            value: valueRow.value
            onChanged: settings.tap()
        }
    }

    component ThemeChip: AbstractButton {
        id: chip
        property string theme
        readonly property bool isSelected: ThemeManager.theme === theme
        readonly property color ownAccent: SettingsStore.themeAccent(theme)

        objectName: "themeChip_" + theme
        padding: 10
        focusPolicy: Qt.TabFocus
        onClicked: {
            settings.tap()
            ThemeManager.theme = chip.theme
        }

        background: Item {
            FocusRing { shown: chip.visualFocus; radius: 12 }
            Loader {
                active: settings.glows && chip.isSelected
                anchors.fill: parent
                anchors.topMargin: 4
                anchors.bottomMargin: -4
                sourceComponent: RectangularGlowEffect {
                    glowRadius: 12
                    cornerRadius: 12 + glowRadius
                    color: Qt.alpha(chip.ownAccent, 0.45)
                }
            }
            Rectangle {
                anchors.fill: parent
                radius: 12
                color: chip.isSelected ? Qt.rgba(1, 1, 1, 0.1) : Qt.rgba(1, 1, 1, 0.04)
                border.width: chip.isSelected ? 1.5 : 1
                border.color: chip.isSelected ? chip.ownAccent : Qt.rgba(1, 1, 1, 0.1)
            }
        }

        contentItem: Column {
            spacing: 8
            Row {
                spacing: 4
                Repeater {
                    model: SettingsStore.themeSwatches(chip.theme)
                    delegate: Item {
                        required property color modelData
                        width: 14
                        height: 14
                        Loader {
                            active: settings.glows
                            anchors.fill: parent
                            sourceComponent: RectangularGlowEffect {
                                glowRadius: 4
                                cornerRadius: 7 + glowRadius
                                color: Qt.alpha(modelData, 0.7)
                            }
                        }
                        Rectangle {
                            objectName: "swatch"
                            anchors.fill: parent
                            radius: 7
                            color: modelData
                        }
                    }
                }
            }
            Text {
                objectName: "themeTitle"
                text: SettingsStore.themeTitle(chip.theme)
                textFormat: Text.PlainText
                font.family: "Quicksand"
                font.pixelSize: 12
                font.weight: Font.ExtraBold
                color: "white"
            }
        }
    }

    component PillChip: AbstractButton {
        id: pillChip
        property string pill
        readonly property bool isOn: { settings.barRevision; return BarModeSettings.isVisibleRaw(pill) }

        objectName: "pillChip_" + pill
        leftPadding: 10
        rightPadding: 10
        topPadding: 7
        bottomPadding: 7
        focusPolicy: Qt.TabFocus
        onClicked: {
            settings.tap()
            BarModeSettings.toggleRaw(pillChip.pill)
        }

        background: Rectangle {
            FocusRing { shown: pillChip.visualFocus; radius: 13 }
            radius: 10
            color: pillChip.isOn ? Qt.alpha(ThemeManager.accent, 0.1) : Qt.rgba(1, 1, 1, 0.03)
            border.width: 1
            border.color: pillChip.isOn ? Qt.alpha(ThemeManager.accent, 0.4) : Qt.rgba(1, 1, 1, 0.08)
        }

        contentItem: RowLayout {
            spacing: 8
            SymbolIcon {
                Layout.preferredWidth: 18
                symbol: BarModeSettings.pillIcon(pillChip.pill)
                pointSize: 11
                bold: true
                color: pillChip.isOn ? ThemeManager.accent : Qt.rgba(1, 1, 1, 0.35)
            }
            Text {
                objectName: "pillTitle"
                Layout.fillWidth: true
                text: BarModeSettings.pillTitle(pillChip.pill)
                textFormat: Text.PlainText
                elide: Text.ElideRight
                font.family: "Quicksand"
                font.pixelSize: 11
                font.weight: Font.Bold
                color: pillChip.isOn ? "white" : Qt.rgba(1, 1, 1, 0.45)
            }
            SymbolIcon {
                objectName: "pillMark"
                symbol: pillChip.isOn ? "checkmark.circle.fill" : "circle"
                pointSize: 13
                color: pillChip.isOn ? ThemeManager.good : Qt.rgba(1, 1, 1, 0.25)
            }
        }
    }
}
