import QtQuick
import QtQuick.Layouts
import Corvane

// A one-line status tile: a lamp, the label over "ACTIV"/"INACTIV", an optional REC badge
// and a symbol at the trailing edge. Lit, the lamp glows with pulse rings and a sweeping arc
// and the tile takes on `onColor`; unlit, everything is a dim neutral glass.
Item {
    id: light

    property string label
    property bool isOn: false
    property color onColor: ThemeManager.good
    property string icon
    property bool showRec: false

    // 0 off, 1 on; every colour that follows isOn eases through it.
    property real lit: isOn ? 1 : 0
    Behavior on lit { NumberAnimation { duration: 250; easing.type: Easing.OutCubic } }

    function mix(offColor, onColour) {
        return Qt.rgba(offColor.r + (onColour.r - offColor.r) * lit, offColor.g + (onColour.g - offColor.g) * lit,
                       offColor.b + (onColour.b - offColor.b) * lit, offColor.a + (onColour.a - offColor.a) * lit)
    }

    implicitWidth: tile.implicitWidth + 24
    implicitHeight: tile.implicitHeight + 20

    // Glass, tint and scan lines behind the tile.
    GlassPanePainter {
        objectName: "tint"
        anchors.fill: parent
        enabled: false
        radius: 14
        baseColor: Qt.rgba(0.08, 0.09, 0.13, 0.6 * 0.5)
        tintColor: light.mix(Qt.rgba(1, 1, 1, 0.03), Qt.alpha(light.onColor, 0.12))
        scanColor: Qt.alpha(light.isOn ? light.onColor : "white", light.isOn ? 0.045 : 0.025)
        scanSpacing: 3
    }
    Rectangle {
        objectName: "border"
        anchors.fill: parent
        radius: 14
        color: "transparent"
        border.width: 1
        border.color: light.mix(Qt.rgba(1, 1, 1, 0.1), Qt.alpha(light.onColor, 0.65))
    }

    RowLayout {
        id: tile
        anchors.fill: parent
        anchors.leftMargin: 12
        anchors.rightMargin: 12
        anchors.topMargin: 10
        anchors.bottomMargin: 10
        spacing: 12

        Item {
            id: lamp
            objectName: "lamp"
            Layout.preferredWidth: 34
            Layout.preferredHeight: 34

            // Rings and arc exist only while lit.
            Loader {
                objectName: "lampMotion"
                anchors.fill: parent
                active: light.isOn
                sourceComponent: Item {
                    CAPulseRings {
                        anchors.centerIn: parent
                        width: 30
                        height: 30
                        color: Qt.alpha(light.onColor, 0.55)
                        lineWidth: 1.5
                        period: 2.5
                        maxScale: 1.5
                    }
                    CASweepArc {
                        anchors.centerIn: parent
                        width: 32
                        height: 32
                        color: Qt.alpha(light.onColor, 0.75)
                        lineWidth: 2
                        trim: 0.18
                        period: 4
                        glowRadius: 2
                        inset: 0
                    }
                }
            }
            // Glows: soft discs under the bead, clear when off.
            Rectangle {
                anchors.centerIn: parent
                width: 20 + 2 * 14 * 0.6
                height: width
                radius: width / 2
                color: Qt.alpha(light.onColor, 0.22 * light.lit)
            }
            Rectangle {
                anchors.centerIn: parent
                width: 20 + 2 * 4
                height: width
                radius: width / 2
                color: Qt.alpha(light.onColor, 0.4 * light.lit)
            }
            Rectangle {
                objectName: "bead"
                anchors.centerIn: parent
                width: 20
                height: 20
                radius: 10
                gradient: Gradient {
                    GradientStop { position: 0; color: light.mix(Qt.rgba(1, 1, 1, 0.08), light.onColor) }
                    GradientStop { position: 1; color: light.mix(Qt.rgba(1, 1, 1, 0.04), Qt.alpha(light.onColor, 0.55)) }
                }
            }
            // The bead's highlight: a rim bright at the top.
            RoundedGradientPainter {
                objectName: "highlight"
                anchors.centerIn: parent
                width: 20
                height: 20
                radius: 10
                rimWidth: 1
                fromColor: Qt.rgba(1, 1, 1, 0.7)
                toColor: Qt.rgba(1, 1, 1, 0)
                fromPoint: Qt.point(10, 0)
                toPoint: Qt.point(10, 20)
            }
        }

        ColumnLayout {
            spacing: 1
            Layout.alignment: Qt.AlignVCenter
            RowLayout {
                spacing: 5
                Text {
                    objectName: "label"
                    text: light.label.toUpperCase()
                    textFormat: Text.PlainText
                    font.family: "Quicksand"
                    font.pixelSize: 9
                    font.bold: true
                    font.letterSpacing: 1.3
                    color: Qt.rgba(1, 1, 1, 0.55)
                }
                Loader {
                    objectName: "rec"
                    active: light.isOn && light.showRec
                    visible: active
                    sourceComponent: RecBlinker {}
                }
            }
            Text {
                objectName: "status"
                text: light.isOn ? "ACTIV" : "INACTIV"
                textFormat: Text.PlainText
                font.family: "Quicksand"
                font.pixelSize: 12
                font.weight: Font.Black
                color: light.mix(Qt.rgba(1, 1, 1, 0.35), light.onColor)
            }
        }

        Item { Layout.fillWidth: true }

        Item {
            Layout.preferredWidth: symbol.implicitWidth
            Layout.preferredHeight: symbol.implicitHeight
            Text {
                anchors.centerIn: parent
                anchors.horizontalCenterOffset: 0
                text: symbol.text
                font: symbol.font
                color: Qt.alpha(light.onColor, 0.45 * light.lit)
                scale: 1.25
                textFormat: Text.PlainText
            }
            SymbolIcon {
                id: symbol
                objectName: "symbol"
                anchors.centerIn: parent
                symbol: light.icon
                pointSize: 14
                bold: true
                color: light.mix(Qt.rgba(1, 1, 1, 0.3), light.onColor)
            }
        }
    }
}
