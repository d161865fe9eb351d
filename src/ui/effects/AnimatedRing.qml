import QtQuick
import Corvane

// Circular gauge: tick ring, track, gradient progress arc from twelve o'clock with a glow,
// a red zone over the last fifth of the turn, an optional travelling highlight, a soft bloom
// and the counting centre value with its caption.
Item {
    id: ring

    property real value: 0
    // A colour or an AppPalette gradient.
    property var gradient: AppPalette.cpuGradient
    property color glowColor: ThemeManager.accent
    property string centerText
    property real centerValue: 0
    property var centerFormat: (v) => Fmt.fixed(v, 0)
    property string subText
    property real lineWidth: 10
    property bool showShimmer: false
    property int tickCount: 60
    // Eases to each new value; off, the ring jumps (one repaint per new value).
    property bool animated: true

    readonly property bool glows: GraphicsInfo.api !== GraphicsInfo.Software && GraphicsInfo.api !== GraphicsInfo.Unknown
    readonly property real side: Math.min(width, height)
    readonly property real targetProgress: MotionGeometry.ringProgress(value)
    property real shownProgress: targetProgress
    Behavior on shownProgress {
        enabled: ring.animated
        NumberAnimation { duration: 300; easing.type: Easing.BezierSpline; easing.bezierCurve: [0, 0, 0.58, 1, 1, 1] }
    }
    readonly property real arcRadius: side / 2 - (lineWidth / 2 + 10)

    Item {
        id: square
        width: ring.side
        height: ring.side
        anchors.centerIn: parent

        RingTicks {
            objectName: "ticks"
            anchors.fill: parent
            count: ring.tickCount
        }

        ArcStroke {
            objectName: "track"
            anchors.fill: parent
            radius: ring.arcRadius
            startAngle: -90
            endAngle: 270
            lineWidth: ring.lineWidth
            roundCap: false
            paint: Qt.rgba(1, 1, 1, 0.07)
        }

        ArcStroke {
            objectName: "progress"
            anchors.fill: parent
            radius: ring.arcRadius
            startAngle: -90
            endAngle: -90 + 360 * ring.shownProgress
            lineWidth: ring.lineWidth
            paint: ring.gradient
            layer.enabled: ring.glows
            layer.effect: DropShadowEffect {
                color: Qt.alpha(ring.glowColor, 0.65)
                radius: 12
                samples: 25
                transparentBorder: true
            }
        }

        ArcStroke {
            objectName: "redZone"
            anchors.fill: parent
            radius: ring.side / 2 - (ring.lineWidth / 2 - 4)
            startAngle: -90 + 0.8 * 360
            endAngle: 270
            lineWidth: 2
            paint: Qt.alpha(ThemeManager.critical, 0.25)
        }

        CASweepArc {
            objectName: "highlight"
            visible: ring.showShimmer
            anchors.fill: parent
            color: Qt.rgba(1, 1, 1, 0.8)
            lineWidth: ring.lineWidth
            trim: 0.04
            period: 6
            glowRadius: 3
            inset: 10
            opacity: MotionGeometry.ringHighlightOpacity(ring.value)
        }

        // Bloom: a soft radial glow in the glow colour that strengthens with the value. An
        // image rather than a shape: a shape is polished again with each new value, which
        // under the software scene graph costs a second render pass every second. The
        // strength is the image's opacity, so a new value repaints nothing.
        RoundedGradientPainter {
            id: bloom
            objectName: "bloom"
            readonly property real inset: ring.lineWidth + 10
            readonly property real bloomRadius: Math.max(0, ring.side / 2 - inset)
            readonly property real strength: Math.max(0, Math.min(1, ring.value * 1.6))
            x: ring.side / 2 - bloomRadius
            y: ring.side / 2 - bloomRadius
            width: 2 * bloomRadius
            height: 2 * bloomRadius
            visible: bloomRadius > 0 && strength > 0
            opacity: strength
            radius: bloomRadius
            fromPoint: Qt.point(bloomRadius, bloomRadius)
            gradientRadius: Math.max(1, bloomRadius)
            fromColor: Qt.alpha(ring.glowColor, 0.22)
            toColor: "transparent"
        }

        // Stacked by bindings rather than a Column: a positioner sizes itself while the frame
        // is being prepared, and a size changed then costs the window a second, empty frame.
        Item {
            anchors.centerIn: parent
            width: Math.max(numberBox.width, caption.width)
            height: numberBox.height + caption.height
            Item {
                id: numberBox
                anchors.horizontalCenter: parent.horizontalCenter
                implicitWidth: number.implicitWidth
                implicitHeight: number.implicitHeight
                layer.enabled: ring.glows
                layer.effect: DropShadowEffect {
                    color: Qt.alpha(ring.glowColor, 0.55)
                    radius: 6
                    samples: 13
                    transparentBorder: true
                }
                AnimatedNumberText {
                    id: number
                    objectName: "centerValue"
                    value: ring.centerValue
                    format: ring.centerFormat
                    color: "white"
                    font.family: "DejaVu Sans Mono"
                    font.bold: true
                    font.pixelSize: 20
                    layer.enabled: ring.glows
                    layer.effect: DropShadowEffect {
                        color: Qt.alpha(ring.glowColor, 0.33)
                        radius: 2.4
                        samples: 5
                        transparentBorder: true
                    }
                }
            }
            Text {
                id: caption
                objectName: "subText"
                y: numberBox.height
                anchors.horizontalCenter: parent.horizontalCenter
                text: ring.subText
                textFormat: Text.PlainText
                font.family: "Quicksand"
                font.bold: true
                font.pixelSize: 9
                font.letterSpacing: 1.5
                color: Qt.rgba(1, 1, 1, 0.5)
            }
        }
    }
}
