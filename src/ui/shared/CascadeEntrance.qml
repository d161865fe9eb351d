import QtQuick
import Corvane

// Fades, lifts and scales its content into place, later for each further position in a list.
Item {
    id: entrance

    property int index: 0
    property real baseDelay: 0
    property bool appeared: false
    default property alias content: holder.data

    // Spring position: 0 before the entrance, 1 in place.
    property real progress: appeared ? 1 : 0
    property real _shown: 0
    property real _velocity: 0

    implicitWidth: holder.childrenRect.width
    implicitHeight: holder.childrenRect.height
    opacity: Math.max(0, Math.min(1, _shown))
    scale: 0.97 + 0.03 * _shown
    transform: Translate { y: 16 * (1 - entrance._shown) }

    Item {
        id: holder
        anchors.fill: parent
    }

    Timer {
        id: delay
        interval: MotionGeometry.entranceDelayMs(entrance.baseDelay, entrance.index)
        onTriggered: entrance.appeared = true
    }

    FrameAnimation {
        running: Math.abs(entrance._shown - entrance.progress) > 0.0005 || Math.abs(entrance._velocity) > 0.001
        onTriggered: {
            const s = MotionGeometry.springStep(entrance._shown, entrance._velocity, entrance.progress,
                                                frameTime, 0.55, 0.85)
            entrance._velocity = s.velocity
            entrance._shown = s.position
        }
    }

    Component.onCompleted: {
        _shown = progress
        delay.start()
    }
    onVisibleChanged: if (visible && !appeared) delay.restart()
}
