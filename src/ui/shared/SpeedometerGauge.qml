import QtQuick
import Corvane

// Dial gauge: open track, glowing value arc, ticks with labels, needle, hub and a readout.
// Angles are degrees clockwise from pointing right.
Item {
    id: gauge

    property real value: 0
    property real maxValue: 100
    property string unit
    property string label
    // A colour or an AppPalette gradient.
    property var gradient: AppPalette.cpuGradient
    property color glowColor: ThemeManager.accent
    property int tickCount: 11
    property real startAngle: 135
    property real endAngle: 405
    // No figure yet (nothing measured): the needle rests at zero and the readout reads "—".
    property bool measured: true

    readonly property bool glows: GraphicsInfo.api !== GraphicsInfo.Software && GraphicsInfo.api !== GraphicsInfo.Unknown
    readonly property real r: GaugeGeometry.radius(width, height)
    readonly property real cx: width * 0.5
    readonly property real cy: height * 0.5
    readonly property real targetFraction: GaugeGeometry.fraction(value, maxValue)
    readonly property var ticks: GaugeGeometry.ticks(tickCount, startAngle, endAngle, maxValue)
    readonly property string readoutText: measured ? GaugeGeometry.valueReadoutText(value) : "—"

    // Arc and needle sweep together from wherever they are.
    property real shownFraction: targetFraction
    Behavior on shownFraction {
        NumberAnimation { duration: 300; easing.type: Easing.BezierSpline; easing.bezierCurve: [0, 0, 0.58, 1, 1, 1] }
    }
    readonly property real needleAngle: GaugeGeometry.angleAt(startAngle, endAngle, shownFraction)

    ArcStroke {
        objectName: "track"
        anchors.fill: parent
        radius: gauge.r
        startAngle: gauge.startAngle
        endAngle: gauge.endAngle
        lineWidth: 14
        paint: Qt.rgba(1, 1, 1, 0.08)
    }

    ArcStroke {
        objectName: "valueArc"
        anchors.fill: parent
        radius: gauge.r
        startAngle: gauge.startAngle
        endAngle: gauge.needleAngle
        lineWidth: 14
        paint: gauge.gradient
        layer.enabled: gauge.glows
        layer.effect: DropShadowEffect {
            color: Qt.alpha(gauge.glowColor, 0.7)
            radius: 10
            samples: 21
            transparentBorder: true
        }
    }

    Repeater {
        model: gauge.ticks
        delegate: Item {
            id: tick
            required property var modelData
            readonly property real inner: Math.max(0, gauge.r - 22)
            readonly property real outer: Math.max(0, gauge.r - (modelData.major ? 6 : 10))
            readonly property real lineWidth: modelData.major ? 1.6 : 1.0

            Rectangle {
                x: gauge.cx + tick.inner
                y: gauge.cy - tick.lineWidth / 2
                width: tick.outer - tick.inner
                height: tick.lineWidth
                color: Qt.rgba(1, 1, 1, tick.modelData.major ? 0.55 : 0.25)
                transform: Rotation {
                    origin.x: -tick.inner
                    origin.y: tick.lineWidth / 2
                    angle: tick.modelData.angle
                }
            }
            Text {
                objectName: "tickLabel"
                visible: tick.modelData.major
                readonly property point at: GaugeGeometry.pointAt(Qt.point(gauge.cx, gauge.cy), Math.max(0, gauge.r - 38), tick.modelData.angle)
                x: at.x - width / 2
                y: at.y - height / 2
                text: tick.modelData.label
                textFormat: Text.PlainText
                font.family: "Quicksand"
                font.bold: true
                font.pixelSize: 9
                color: Qt.rgba(1, 1, 1, 0.6)
            }
        }
    }

    NeedleShape {
        objectName: "needle"
        anchors.fill: parent
        angleDegrees: gauge.needleAngle
        length: Math.max(0, gauge.r - 18)
        lineWidth: 3.5
        topColor: "white"
        bottomColor: gauge.glowColor
        layer.enabled: gauge.glows
        layer.effect: DropShadowEffect {
            color: Qt.alpha(gauge.glowColor, 0.85)
            radius: 8
            samples: 17
            transparentBorder: true
        }
    }

    Rectangle {
        x: gauge.cx - 6
        y: gauge.cy - 6
        width: 12
        height: 12
        radius: 6
        color: gauge.glowColor
        layer.enabled: gauge.glows
        layer.effect: DropShadowEffect {
            color: gauge.glowColor
            radius: 6
            samples: 13
            transparentBorder: true
        }
    }
    Rectangle {
        x: gauge.cx - 2.5
        y: gauge.cy - 2.5
        width: 5
        height: 5
        radius: 2.5
        color: "black"
    }

    Column {
        id: readout
        spacing: 0
        x: gauge.cx - width / 2
        y: gauge.cy + 0.45 * gauge.r - height / 2

        Text {
            objectName: "label"
            anchors.horizontalCenter: parent.horizontalCenter
            text: gauge.label
            textFormat: Text.PlainText
            font.family: "Quicksand"
            font.bold: true
            font.pixelSize: 10
            font.letterSpacing: 2.2
            color: Qt.rgba(1, 1, 1, 0.6)
        }
        Item {
            anchors.horizontalCenter: parent.horizontalCenter
            implicitWidth: number.implicitWidth
            implicitHeight: number.implicitHeight
            layer.enabled: gauge.glows
            layer.effect: DropShadowEffect {
                color: Qt.alpha(gauge.glowColor, 0.5)
                radius: 12
                samples: 25
                transparentBorder: true
            }
            // Follows the value the ticker runs to, so it is painted once per reading.
            GlowHalo {
                text: gauge.readoutText
                font: number.font
                alignment: Qt.AlignHCenter | Qt.AlignVCenter
                color: Qt.alpha(gauge.glowColor, 0.5)
                radius: 12
                color2: Qt.alpha(gauge.glowColor, 0.3)
                radius2: 4.8
            }
            TickerLabel {
                id: number
                objectName: "readout"
                value: gauge.value
                format: (v) => gauge.measured ? GaugeGeometry.valueReadoutText(v) : "—"
                color: "white"
                font.family: "DejaVu Sans Mono"
                font.bold: true
                font.pixelSize: 36
                layer.enabled: gauge.glows
                layer.effect: DropShadowEffect {
                    color: Qt.alpha(gauge.glowColor, 0.3)
                    radius: 4.8
                    samples: 11
                    transparentBorder: true
                }
            }
        }
        Text {
            objectName: "unit"
            anchors.horizontalCenter: parent.horizontalCenter
            text: gauge.unit
            textFormat: Text.PlainText
            font.family: "Quicksand"
            font.bold: true
            font.pixelSize: 11
            color: gauge.glowColor
        }
    }
}
