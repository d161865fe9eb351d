import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// The hardware tests tab: a header, six test cards that each open their test in a sheet,
// and an about card with the brand. Runs no test itself and keeps no results.
Item {
    id: screen
    property var appState: AppState
    // The quick test whose sheet is open ("" for none).
    property alias active: sheet.kind

    function openTest(kind) {
        Haptics.perform(Haptics.LevelChange)
        active = kind
    }

    KeepsPlace {
        flickable: scroll.contentItem
        key: "tests"
    }

    ScrollView {
        id: scroll
        objectName: "testsScroll"
        anchors.fill: parent
        contentWidth: availableWidth
        ScrollBar.vertical.policy: ScrollBar.AsNeeded

        ColumnLayout {
            id: page
            width: Math.min(scroll.availableWidth, 1180)
            x: Math.max(0, (scroll.availableWidth - width) / 2)
            spacing: 18

            Item { Layout.preferredHeight: 6 }

            ColumnLayout {
                Layout.fillWidth: true
                Layout.leftMargin: 24
                Layout.rightMargin: 24
                spacing: 4
                Text {
                    text: "CORVANE · TESTE HARDWARE"
                    textFormat: Text.PlainText
                    font.family: "Quicksand"
                    font.pixelSize: 10
                    font.weight: Font.Black
                    font.letterSpacing: 2.5
                    color: Qt.rgba(1, 1, 1, 0.55)
                }
                Text {
                    objectName: "header"
                    text: "Suită completă de teste de viteză și stress"
                    textFormat: Text.PlainText
                    font.family: "Quicksand"
                    font.pixelSize: 26
                    font.bold: true
                    color: "white"
                }
                Text {
                    text: "Fiecare test se deschide în propriul panou animat."
                    textFormat: Text.PlainText
                    font.family: "Inter"
                    font.pixelSize: 11
                    color: AppPalette.textSecondary
                }
            }

            GridLayout {
                objectName: "cardGrid"
                Layout.fillWidth: true
                Layout.leftMargin: 24
                Layout.rightMargin: 24
                columns: 3
                columnSpacing: 14
                rowSpacing: 14

                Repeater {
                    model: QuickTestTable.offered
                    delegate: HoverGlassCard {
                        id: testCard
                        required property var modelData
                        readonly property color tone: modelData.tone === "" ? Qt.rgba(1.0, 0.45, 0.7, 1)
                                                                             : ThemeManager[modelData.tone]
                        objectName: "testCard_" + modelData.kind
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                        Layout.preferredWidth: 10
                        title: modelData.cardTitle
                        icon: modelData.symbol
                        accent: AppPalette[modelData.gradient]
                        accentColor: tone

                        ColumnLayout {
                            width: parent.width
                            spacing: 12
                            Rectangle {
                                implicitWidth: badgeText.implicitWidth + 16
                                implicitHeight: badgeText.implicitHeight + 8
                                radius: height / 2
                                color: Qt.alpha(testCard.tone, 0.18)
                                Text {
                                    id: badgeText
                                    objectName: "badge"
                                    anchors.centerIn: parent
                                    text: testCard.modelData.badge.toUpperCase()
                                    textFormat: Text.PlainText
                                    font.family: "Quicksand"
                                    font.pixelSize: 9
                                    font.weight: Font.Black
                                    font.letterSpacing: 1.5
                                    color: testCard.tone
                                }
                            }
                            Text {
                                objectName: "description"
                                Layout.fillWidth: true
                                text: testCard.modelData.blurb
                                textFormat: Text.PlainText
                                wrapMode: Text.WordWrap
                                font.family: "Quicksand"
                                font.pixelSize: 12
                                color: Qt.rgba(1, 1, 1, 0.78)
                            }
                            HapticButton {
                                objectName: "openButton"
                                text: "Deschide testul"
                                symbol: "play.fill"
                                color: testCard.tone
                                onClicked: screen.openTest(testCard.modelData.kind)
                            }
                        }
                    }
                }
            }

            HoverGlassCard {
                objectName: "aboutCard"
                Layout.fillWidth: true
                Layout.leftMargin: 24
                Layout.rightMargin: 24
                title: "DESPRE"
                icon: "info.circle"
                accent: AppPalette.gpuGradient
                accentColor: ThemeManager.warning

                RowLayout {
                    width: parent.width
                    spacing: 18
                    CorvaneBrandHeader {
                        Layout.alignment: Qt.AlignTop
                        compact: false
                    }
                    ColumnLayout {
                        Layout.alignment: Qt.AlignTop
                        Layout.fillWidth: true
                        spacing: 6
                        Text {
                            objectName: "version"
                            text: "Versiunea " + PillText.number()
                            textFormat: Text.PlainText
                            font.family: "DejaVu Sans Mono"
                            font.pixelSize: 13
                            font.bold: true
                            color: "white"
                        }
                        Text {
                            Layout.fillWidth: true
                            text: "Construit nativ, un monitor de sistem complet pentru Linux: senzori, procese, rețea, baterie și teste hardware într-o singură fereastră."
                            textFormat: Text.PlainText
                            wrapMode: Text.WordWrap
                            font.family: "Inter"
                            font.pixelSize: 11
                            color: AppPalette.textSecondary
                        }
                    }
                }
            }

            Item { Layout.preferredHeight: 6 }
        }
    }

    QuickTestSheet {
        id: sheet
        objectName: "quickTestSheet"
    }
}
