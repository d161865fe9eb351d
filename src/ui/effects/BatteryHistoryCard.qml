import QtQuick
import QtQuick.Layouts
import Corvane

// The battery history over the last 7, 30 or 90 days: snapshot count, daily mean health and
// highest cycle count as a small chart, and three summary figures.
HoverGlassCard {
    id: card

    // The history to chart; its snapshot list drives every figure.
    property var history: BatteryHistory
    property int days: 30

    // One pass over the history per change (a long one has tens of thousands of snapshots).
    readonly property var summary: { history.revision; return history.rangeSummary(days) }
    readonly property var dailyHealth: summary.health
    readonly property var dailyCycles: summary.cycles
    readonly property var figures: TabText.batteryFiguresOf(summary)
    readonly property bool glows: GraphicsInfo.api !== GraphicsInfo.Software && GraphicsInfo.api !== GraphicsInfo.Unknown

    title: "ISTORIC BATERIE"
    icon: "battery.100.bolt"
    accent: AppPalette.batteryGradient
    accentColor: ThemeManager.good

    ColumnLayout {
        width: parent.width
        spacing: 10

        RowLayout {
            Layout.fillWidth: true
            SegmentedPicker {
                objectName: "rangePicker"
                implicitWidth: 180
                labels: ["7 zile", "30 zile", "90 zile"]
                currentIndex: card.days === 7 ? 0 : card.days === 90 ? 2 : 1
                onPicked: (index) => card.days = [7, 30, 90][index]
            }
            Item { Layout.fillWidth: true }
            Text {
                objectName: "snapshotCount"
                text: TabText.snapshotCountText(card.summary.count)
                textFormat: Text.PlainText
                font.family: "Inter"
                font.pixelSize: 10
                color: AppPalette.textSecondary
            }
        }

        Item {
            Layout.fillWidth: true
            Layout.preferredHeight: 110

            BatteryHistoryPlot {
                objectName: "plot"
                anchors.fill: parent
                health: card.dailyHealth
                cycles: card.dailyCycles
                healthColor: ThemeManager.good
                cycleColor: ThemeManager.warning
                glows: card.glows
            }
            Column {
                objectName: "emptyState"
                anchors.centerIn: parent
                spacing: 6
                visible: card.dailyHealth.length === 0
                SymbolIcon {
                    anchors.horizontalCenter: parent.horizontalCenter
                    symbol: "battery.100.bolt"
                    pointSize: 22
                    color: AppPalette.textSecondary
                }
                Text {
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: "Date insuficiente — lasă aplicația să ruleze câteva ore"
                    textFormat: Text.PlainText
                    font.family: "Inter"
                    font.pixelSize: 11
                    color: AppPalette.textSecondary
                }
            }
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 14
            Repeater {
                model: [
                    { key: "health", label: "SĂNĂTATE MED", role: "good" },
                    { key: "delta", label: "Δ CICLURI", role: "warning" },
                    { key: "cycles", label: "CICLURI", role: "accent" }
                ]
                delegate: Rectangle {
                    required property var modelData
                    objectName: "figure_" + modelData.key
                    Layout.fillWidth: true
                    implicitHeight: cell.implicitHeight + 14
                    radius: 10
                    color: Qt.rgba(1, 1, 1, 0.04)
                    ColumnLayout {
                        id: cell
                        anchors.fill: parent
                        anchors.leftMargin: 10
                        anchors.rightMargin: 10
                        anchors.topMargin: 7
                        anchors.bottomMargin: 7
                        spacing: 2
                        Text {
                            text: modelData.label
                            textFormat: Text.PlainText
                            font.family: "Quicksand"
                            font.pixelSize: 9
                            font.weight: Font.Black
                            font.letterSpacing: 1.4
                            color: Qt.rgba(1, 1, 1, 0.5)
                        }
                        Text {
                            objectName: "value"
                            text: card.figures[modelData.key]
                            textFormat: Text.PlainText
                            font.family: "DejaVu Sans Mono"
                            font.pixelSize: 13
                            font.bold: true
                            color: modelData.role === "good" ? ThemeManager.good
                                 : modelData.role === "warning" ? ThemeManager.warning : ThemeManager.accent
                        }
                    }
                }
            }
        }
    }
}
