import QtQuick
import QtQuick.Layouts
import Corvane

// The result card that ends a test run: caption and headline, a two-column grid of
// label–value rows and up to two actions. It computes nothing and keeps no state.
Item {
    id: card

    property string title
    property string subtitle
    // reportLine values (label, value, color), shown in this order.
    property var lines: []
    property color accent: ThemeManager.accent
    // Functions, or null to leave the button out.
    property var rerunAction: null
    property var closeAction: null

    readonly property bool glows: GraphicsInfo.api !== GraphicsInfo.Software && GraphicsInfo.api !== GraphicsInfo.Unknown
    readonly property bool hasActions: typeof rerunAction === "function" || typeof closeAction === "function"

    implicitWidth: column.implicitWidth + 36
    implicitHeight: column.implicitHeight + 36

    // Grows in from 0.92 at its top edge while fading in.
    transformOrigin: Item.Top
    scale: shown ? 1 : 0.92
    opacity: shown ? 1 : 0
    property bool shown: false
    Behavior on scale { NumberAnimation { duration: 260; easing.type: Easing.OutCubic } }
    Behavior on opacity { NumberAnimation { duration: 260; easing.type: Easing.OutCubic } }
    Component.onCompleted: shown = true

    // Corner to corner, from the top-left to the bottom-right.
    RoundedGradientPainter {
        objectName: "background"
        anchors.fill: parent
        radius: 16
        fromColor: Qt.alpha(card.accent, 0.18)
        toColor: Qt.rgba(0, 0, 0, 0.55)
        fromPoint: Qt.point(0, 0)
        toPoint: Qt.point(width, height)
    }
    Loader {
        anchors.fill: parent
        active: card.glows
        sourceComponent: RectangularGlowEffect {
            glowRadius: 10
            cornerRadius: 16 + glowRadius
            color: Qt.alpha(card.accent, 0.25)
            z: -1
        }
    }
    Rectangle {
        objectName: "border"
        anchors.fill: parent
        radius: 16
        color: "transparent"
        border.width: 1.2
        border.color: Qt.alpha(card.accent, 0.55)
        // The edge line glows, not the whole card.
        GlowHalo {
            cornerRadius: 16
            strokeWidth: 1.2
            color: Qt.alpha(card.accent, 0.45)
            radius: 10
        }
    }

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.margins: 18
        spacing: 14

        RowLayout {
            Layout.fillWidth: true
            spacing: 10
            SymbolIcon {
                Layout.alignment: Qt.AlignTop
                symbol: "checkmark.seal.fill"
                pointSize: 22
                bold: true
                color: card.accent
                layer.enabled: card.glows
                layer.effect: DropShadowEffect {
                    color: Qt.alpha(card.accent, 0.6)
                    radius: 6
                    samples: 13
                    transparentBorder: true
                }
                GlowHalo {
                    text: parent.text
                    font: parent.font
                    alignment: Qt.AlignHCenter | Qt.AlignVCenter
                    color: Qt.alpha(card.accent, 0.6)
                    radius: 6
                }
            }
            ColumnLayout {
                spacing: 2
                Text {
                    objectName: "cardTitle"
                    text: card.title.toUpperCase()
                    textFormat: Text.PlainText
                    font.family: "Quicksand"
                    font.pixelSize: 11
                    font.weight: Font.Black
                    font.letterSpacing: 2
                    color: Qt.rgba(1, 1, 1, 0.65)
                }
                Text {
                    objectName: "cardSubtitle"
                    text: card.subtitle
                    textFormat: Text.PlainText
                    font.family: "Quicksand"
                    font.pixelSize: 20
                    font.bold: true
                    color: "white"
                }
            }
            Item { Layout.fillWidth: true }
            Rectangle {
                Layout.alignment: Qt.AlignTop
                implicitWidth: badge.implicitWidth + 20
                implicitHeight: badge.implicitHeight + 10
                radius: height / 2
                color: Qt.alpha(card.accent, 0.2)
                Text {
                    id: badge
                    objectName: "badge"
                    anchors.centerIn: parent
                    text: "RAPORT"
                    textFormat: Text.PlainText
                    font.family: "Quicksand"
                    font.pixelSize: 10
                    font.weight: Font.Black
                    font.letterSpacing: 2
                    color: card.accent
                }
            }
        }

        GridLayout {
            objectName: "rows"
            Layout.fillWidth: true
            columns: 2
            columnSpacing: 10
            rowSpacing: 10
            Repeater {
                model: card.lines
                delegate: Rectangle {
                    id: row
                    required property var modelData
                    readonly property string label: modelData.label
                    readonly property string value: modelData.value
                    objectName: "reportRow"
                    Layout.fillWidth: true
                    Layout.preferredWidth: 10
                    Layout.minimumWidth: 10
                    implicitHeight: rowLayout.implicitHeight + 16
                    radius: 8
                    color: Qt.rgba(1, 1, 1, 0.04)
                    border.width: 1
                    border.color: Qt.rgba(1, 1, 1, 0.06)
                    RowLayout {
                        id: rowLayout
                        anchors.fill: parent
                        anchors.leftMargin: 12
                        anchors.rightMargin: 12
                        Text {
                            objectName: "rowLabel"
                            text: row.modelData.label
                            textFormat: Text.PlainText
                            font.family: "Quicksand"
                            font.pixelSize: 11
                            font.weight: Font.DemiBold
                            color: Qt.rgba(1, 1, 1, 0.6)
                        }
                        Item { Layout.fillWidth: true }
                        Text {
                            objectName: "rowValue"
                            text: row.modelData.value
                            textFormat: Text.PlainText
                            elide: Text.ElideLeft
                            Layout.maximumWidth: row.width * 0.6
                            font.family: "DejaVu Sans Mono"
                            font.pixelSize: 13
                            font.bold: true
                            color: row.modelData.color
                        }
                    }
                }
            }
        }

        RowLayout {
            objectName: "actions"
            visible: card.hasActions
            Layout.fillWidth: true
            spacing: 10
            HapticButton {
                objectName: "rerunButton"
                visible: typeof card.rerunAction === "function"
                text: "Rulează din nou"
                symbol: "arrow.clockwise"
                color: card.accent
                compact: true
                onClicked: {
                    Haptics.perform(Haptics.Generic)
                    card.rerunAction()
                }
            }
            HapticButton {
                objectName: "closeButton"
                visible: typeof card.closeAction === "function"
                text: "Închide"
                symbol: "xmark"
                color: Qt.rgba(1, 1, 1, 0.55)
                compact: true
                onClicked: {
                    Haptics.perform(Haptics.Generic)
                    card.closeAction()
                }
            }
            Item { Layout.fillWidth: true }
        }
    }
}
