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
    readonly property bool animating: spin.running

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

    RotationAnimator {
        id: spin
        target: image
        from: 0
        to: 360
        duration: Math.max(1, rotating._period * 1000)
        loops: Animation.Infinite
        running: rotating.visible && rotating.Window.window !== null
    }

    function restart() {
        image.rotation = 0
        if (spin.running)
            spin.restart()
    }
    onWidthChanged: restart()
    onHeightChanged: restart()
}
