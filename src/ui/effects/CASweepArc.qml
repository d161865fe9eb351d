import QtQuick
import Corvane

// A glowing arc of `trim` of a turn that sweeps round clockwise once per period, starting at
// twelve o'clock. The animation runs only while the view is in a window and restarts after
// each resize.
Item {
    id: sweep

    property color color: "white"
    property real lineWidth: 2
    property real trim: 0.2
    property real period: 4.0
    property real glowRadius: 4
    property real inset: 0

    readonly property bool glows: GraphicsInfo.api !== GraphicsInfo.Software && GraphicsInfo.api !== GraphicsInfo.Unknown
    readonly property real arcRadius: MotionGeometry.sweepRadius(width, height, lineWidth, inset)
    readonly property bool animating: spin.running

    ArcStroke {
        id: arc
        anchors.fill: parent
        radius: sweep.arcRadius
        startAngle: -90
        endAngle: -90 + sweep.trim * 360
        lineWidth: sweep.lineWidth
        paint: sweep.color
        layer.enabled: sweep.glows
        layer.effect: DropShadowEffect {
            color: Qt.alpha(sweep.color, 0.8 * sweep.color.a)
            radius: sweep.glowRadius
            samples: Math.round(2 * sweep.glowRadius + 1)
            transparentBorder: true
        }
    }

    RotationAnimator {
        id: spin
        target: arc
        from: 0
        to: 360
        duration: Math.max(1, sweep.period * 1000)
        loops: Animation.Infinite
        running: sweep.visible && sweep.Window.window !== null
    }

    function restart() {
        arc.rotation = 0
        if (spin.running)
            spin.restart()
    }
    onWidthChanged: restart()
    onHeightChanged: restart()
}
