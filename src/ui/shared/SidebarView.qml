import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import QtQuick.Window
import Corvane

// The main window's left column: one row per tab, then a live clock at the bottom.
Item {
    id: sidebar

    // The row under the pointer ("" for none).
    property string hoverTab: ""
    // Glows need the hardware scene graph; the software one gets a plain look.
    readonly property bool glows: GraphicsInfo.api !== GraphicsInfo.Software && GraphicsInfo.api !== GraphicsInfo.Unknown
                                  && GraphicsInfo.api !== GraphicsInfo.Unknown
    // USB devices connected now; the ports row shows it as a badge.
    readonly property int usbCount: AppState.usb ? AppState.usb.devices.length : 0

    signal tabChosen(string raw)

    implicitWidth: 210
    implicitHeight: 600

    function badgeFor(raw) {
        return raw === "ports" && usbCount > 0 ? usbCount : 0
    }

    Rectangle {
        anchors.fill: parent
        color: Qt.rgba(0, 0, 0, 0.3)
    }
    Rectangle {
        anchors.fill: parent
        gradient: Gradient {
            GradientStop { position: 0; color: Qt.rgba(1, 1, 1, 0.04) }
            GradientStop { position: 1; color: Qt.rgba(1, 1, 1, 0) }
        }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 18

        ColumnLayout {
            objectName: "tabList"
            Layout.fillWidth: true
            Layout.topMargin: 18
            // The rows' own 10-point inset only: the titles need the column's width to
            // stay on one line.
            Layout.leftMargin: 10
            Layout.rightMargin: 10
            spacing: 4

            Repeater {
                model: AppState.tabs()
                delegate: SidebarRow {
                    required property string modelData
                    Layout.fillWidth: true
                    raw: modelData
                    selected: AppState.tab === modelData
                    lit: sidebar.hoverTab === modelData
                    badge: sidebar.badgeFor(modelData)
                    glows: sidebar.glows
                    onPointerEntered: sidebar.hoverTab = modelData
                    // Only this row's own hover is cleared, so a quick move onto the next row
                    // (whose enter may arrive first) keeps that row lit.
                    onPointerLeft: if (sidebar.hoverTab === modelData) sidebar.hoverTab = ""
                    onActivated: sidebar.tabChosen(modelData)
                }
            }
        }

        Item { Layout.fillHeight: true }

        RowLayout {
            objectName: "clockBlock"
            Layout.margins: 14
            spacing: 6

            Item {
                Layout.preferredWidth: 6
                Layout.preferredHeight: 6
                Rectangle {
                    objectName: "clockDot"
                    anchors.fill: parent
                    radius: 3
                    color: ThemeManager.good
                }
            }
            Text {
                id: clockText
                objectName: "clockText"
                text: SettingsStore.clockText()
                textFormat: Text.PlainText
                font.family: "DejaVu Sans Mono"
                font.pixelSize: 14
                font.weight: Font.DemiBold
                color: "white"
            }
            Text {
                objectName: "clockLive"
                text: "LIVE"
                textFormat: Text.PlainText
                font.family: "Quicksand"
                font.pixelSize: 9
                font.weight: Font.ExtraBold
                font.letterSpacing: 1.5
                color: Qt.rgba(1, 1, 1, 0.6)
            }
        }
    }

    WallClock {
        id: clock
        steps: AppState.system
        running: sidebar.visible && sidebar.Window.window !== null
                 && sidebar.Window.visibility !== Window.Hidden
                 && sidebar.Window.visibility !== Window.Minimized
        onNowChanged: clockText.text = SettingsStore.clockText()
    }

    component SidebarRow: AbstractButton {
        id: row

        property string raw
        property bool selected: false
        property bool glows: false
        // Shown only when above zero.
        property int badge: 0
        // Named apart from AbstractButton.hovered, which follows the pointer alone.
        property bool lit: false
        signal pointerEntered()
        signal pointerLeft()
        signal activated()

        // Tab accents follow the theme: re-read them whenever it changes.
        readonly property color accent: { ThemeManager.theme; return AppState.tabAccent(raw) }
        readonly property color iconColor: selected ? accent
                                         : lit ? Qt.rgba(1, 1, 1, 0.85) : Qt.rgba(1, 1, 1, 0.55)

        objectName: "tabRow_" + raw
        hoverEnabled: true
        focusPolicy: Qt.TabFocus
        Keys.onReturnPressed: activated()
        Keys.onEnterPressed: activated()
        topPadding: 7
        bottomPadding: 7
        leftPadding: 0
        // The trailing mark sits close to the edge so the longest title keeps one line in
        // the sidebar's width (the bold "Activitate & procese" needs 117 of the row's 190).
        rightPadding: 4
        onHoveredChanged: hovered ? pointerEntered() : pointerLeft()
        onClicked: activated()

        background: Rectangle {
            radius: 10
            color: row.selected ? Qt.rgba(1, 1, 1, 0.06)
                 : row.lit ? Qt.rgba(1, 1, 1, 0.03) : "transparent"
            FocusRing { shown: row.visualFocus; anchors.margins: -1; radius: 11 }
        }

        contentItem: RowLayout {
            spacing: 12

            Item {
                Layout.preferredWidth: 3
                Layout.fillHeight: true
                Loader {
                    active: row.glows && row.selected
                    anchors.fill: parent
                    sourceComponent: RectangularGlowEffect {
                        glowRadius: 6
                        cornerRadius: glowRadius
                        color: Qt.alpha(row.accent, 0.85)
                    }
                }
                Rectangle {
                    objectName: "accentBar"
                    anchors.fill: parent
                    color: row.selected ? row.accent : "transparent"
                }
            }

            Item {
                Layout.preferredWidth: 28
                Layout.preferredHeight: 28
                Loader {
                    active: row.glows && row.selected
                    anchors.fill: parent
                    sourceComponent: RectangularGlowEffect {
                        glowRadius: 8
                        cornerRadius: 8 + glowRadius
                        color: Qt.alpha(row.accent, 0.7)
                    }
                }
                Rectangle {
                    objectName: "iconPlate"
                    anchors.fill: parent
                    visible: row.selected
                    radius: 8
                    color: Qt.alpha(row.accent, 0.3)
                }
                SymbolIcon {
                    anchors.centerIn: parent
                    symbol: AppState.tabSymbol(row.raw)
                    pointSize: 14
                    font.weight: Font.DemiBold
                    color: row.iconColor
                }
            }

            // The bold title's width is held whether or not the row is selected, so a
            // selection never re-flows the rows.
            TextMetrics {
                id: boldTitle
                font.family: "Quicksand"
                font.pixelSize: 12
                font.weight: Font.Bold
                text: AppState.tabTitle(row.raw)
            }
            Text {
                objectName: "tabTitle"
                Layout.fillWidth: true
                Layout.preferredWidth: Math.ceil(boldTitle.advanceWidth)
                text: AppState.tabTitle(row.raw)
                textFormat: Text.PlainText
                maximumLineCount: 1
                elide: Text.ElideRight
                font.family: "Quicksand"
                font.pixelSize: 12
                font.weight: row.selected ? Font.Bold : Font.Medium
                color: row.selected ? "white" : row.lit ? Qt.rgba(1, 1, 1, 0.85) : Qt.rgba(1, 1, 1, 0.55)
            }

            Rectangle {
                objectName: "badge"
                visible: row.badge > 0
                Layout.leftMargin: -10
                implicitWidth: badgeText.implicitWidth + 12
                implicitHeight: badgeText.implicitHeight + 4
                radius: 6
                color: Qt.alpha(row.accent, 0.25)
                Text {
                    id: badgeText
                    objectName: "badgeText"
                    anchors.centerIn: parent
                    text: Fmt.fixed(row.badge, 0)
                    textFormat: Text.PlainText
                    font.family: "Quicksand"
                    font.pixelSize: 9
                    font.weight: Font.ExtraBold
                    color: row.accent
                }
            }

            Item {
                visible: row.badge <= 0 && row.selected
                Layout.leftMargin: -8
                Layout.preferredWidth: 5
                Layout.preferredHeight: 5
                Loader {
                    active: row.glows
                    anchors.fill: parent
                    sourceComponent: RectangularGlowEffect {
                        glowRadius: 4
                        cornerRadius: 2.5 + glowRadius
                        color: row.accent
                    }
                }
                Rectangle {
                    objectName: "selectedDot"
                    anchors.fill: parent
                    radius: 2.5
                    color: row.accent
                }
            }
        }
    }
}
