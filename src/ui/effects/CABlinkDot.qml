import QtQuick
import QtQuick.Shapes

// A dot filling its whole frame that fades to 0.25 and back, once each way per period.
// `diameter` is carried but the frame decides the size.
Item {
    id: blink

    property color color: "white"
    property real diameter: 8
    property real period: 0.7

    readonly property bool glows: GraphicsInfo.api !== GraphicsInfo.Software && GraphicsInfo.api !== GraphicsInfo.Unknown
    readonly property bool animating: fade.running

    Shape {
        id: dot
        anchors.fill: parent
        layer.enabled: blink.glows
        layer.effect: DropShadowEffect {
            color: Qt.alpha(blink.color, 0.9 * blink.color.a)
            radius: 4
            samples: 9
            transparentBorder: true
        }
        ShapePath {
            strokeColor: "transparent"
            fillColor: blink.color
            PathAngleArc {
                centerX: dot.width / 2
                centerY: dot.height / 2
                radiusX: dot.width / 2
                radiusY: dot.height / 2
                startAngle: 0
                sweepAngle: 360
            }
        }
    }

    SequentialAnimation {
        id: fade
        loops: Animation.Infinite
        running: blink.visible && blink.Window.window !== null
        onRunningChanged: if (!running) dot.opacity = 1
        NumberAnimation { target: dot; property: "opacity"; from: 1; to: 0.25; duration: blink.period * 1000 }
        NumberAnimation { target: dot; property: "opacity"; from: 0.25; to: 1; duration: blink.period * 1000 }
    }
}
