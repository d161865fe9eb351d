import QtQuick
import Corvane

// A bundled image, drawn as a centred square, turning clockwise once per period. Its fields
// are read once when it is created; later changes are ignored.
Item {
    id: rotating

    property string imageName
    property real period: 240
    property real imageOpacity: 1.0

    property real _period: 240
    // The turning image itself, for effects that must stay with the picture (a layer on the
    // image is rendered once; one on this item would be redrawn on every step of the turn).
    readonly property alias imageItem: image
    // When set (>= 0), the turn follows this clock in seconds instead of its own.
    property real externalTime: -1
    readonly property bool animating: ownClock.running || externalTime >= 0

    Component.onCompleted: {
        _period = period
        image.source = Assets.image(imageName)
        image.opacity = imageOpacity
    }

    Image {
        id: image
        objectName: "image"
        readonly property real side: Math.min(rotating.width, rotating.height)
        x: (rotating.width - side) / 2
        y: (rotating.height - side) / 2
        width: side
        height: side
        sourceSize: Qt.size(Math.max(1, side), Math.max(1, side))
        fillMode: Image.PreserveAspectFit
        smooth: true
    }

    // Turned by a capped frame clock rather than a free-running animator, which would
    // redraw the window at the display's full rate for a turn of a few minutes.
    FrameClock {
        id: ownClock
        fps: 30
        running: rotating.externalTime < 0 && rotating.visible && rotating.Window.window !== null
    }
    readonly property real _seconds: externalTime >= 0 ? externalTime : ownClock.time
    Binding {
        target: image
        property: "rotation"
        value: rotating._period > 0 ? (rotating._seconds % rotating._period) / rotating._period * 360 : 0
    }

}
