import QtQuick
import Corvane

// Two rings that grow towards maxScale and fade, half a period apart, repeating. Each ring
// is invisible until its own start. Runs only while the view is in a window.
Item {
    id: rings

    property color color: "white"
    property real lineWidth: 1
    property real period: 2.5
    property real maxScale: 1.5

    readonly property real ringRadius: MotionGeometry.pulseRadius(width, height)
    readonly property bool animating: clock.running
    // Cycles since the start, including the fraction of the current one.
    property real elapsed: 0
    // Once the second ring has started it stays in the cycle, also across the clock's wrap.
    property bool secondStarted: false
    onElapsedChanged: if (elapsed >= 0.5) secondStarted = true

    NumberAnimation on elapsed {
        id: clock
        from: 0
        to: 1000
        duration: Math.max(1, rings.period * 1000) * 1000
        loops: Animation.Infinite
        running: rings.visible && rings.Window.window !== null
        // Reset after the change settles: writing the animated value from inside the
        // running-change handler re-enters the running binding.
        onRunningChanged: if (!running) Qt.callLater(rings.resetCycle)
    }

    Repeater {
        model: 2
        delegate: Rectangle {
            required property int index
            // Phase within this ring's own cycle; negative before its start.
            readonly property real local: rings.elapsed - index * 0.5 + (index > 0 && rings.secondStarted && rings.elapsed < 0.5 ? 1000 : 0)
            readonly property real phase: local - Math.floor(local)

            x: rings.width / 2 - width / 2
            y: rings.height / 2 - height / 2
            width: 2 * rings.ringRadius + rings.lineWidth
            height: width
            radius: width / 2
            color: "transparent"
            border.width: rings.lineWidth
            border.color: rings.color
            scale: 1 + (rings.maxScale - 1) * phase
            opacity: rings.animating && local >= 0 ? 0.9 * (1 - phase) : 0
        }
    }

    function resetCycle() {
        if (clock.running)
            return
        elapsed = 0
        secondStarted = false
    }

    function restart() {
        secondStarted = false
        if (clock.running)
            clock.restart()
    }
    onWidthChanged: restart()
    onHeightChanged: restart()
}
