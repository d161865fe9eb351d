import QtQuick
import QtQuick.Shapes
import Corvane

// The brand tile: the glyph on a glassy card that tilts towards the pointer, with a light
// spot following it, and springs back flat when the pointer leaves.
Item {
    id: logo

    property real size: 96
    // Where the pointer is (target of the spring) and the tile's measured size.
    property point pointer: Qt.point(0, 0)
    property size bounds: Qt.size(0, 0)
    // The pointer as drawn, following `pointer` on a spring.
    property real drawnX: 0
    property real drawnY: 0
    property real _vx: 0
    property real _vy: 0

    readonly property bool glows: GraphicsInfo.api !== GraphicsInfo.Software && GraphicsInfo.api !== GraphicsInfo.Unknown
    readonly property real angleX: MotionGeometry.tiltX(drawnY, height)
    readonly property real angleY: MotionGeometry.tiltY(drawnX, width)
    readonly property point lightCentre: MotionGeometry.lightCentre(Qt.point(drawnX, drawnY), width, height)

    width: size
    height: size

    function centre() { return Qt.point(width / 2, height / 2) }

    Component.onCompleted: {
        pointer = centre()
        bounds = Qt.size(width, height)
        drawnX = pointer.x
        drawnY = pointer.y
    }

    FrameAnimation {
        running: Math.abs(logo.drawnX - logo.pointer.x) > 0.01 || Math.abs(logo.drawnY - logo.pointer.y) > 0.01
                 || Math.abs(logo._vx) > 0.01 || Math.abs(logo._vy) > 0.01
        onTriggered: {
            const sx = MotionGeometry.springStep(logo.drawnX, logo._vx, logo.pointer.x, frameTime, 0.2, 0.78)
            const sy = MotionGeometry.springStep(logo.drawnY, logo._vy, logo.pointer.y, frameTime, 0.2, 0.78)
            logo._vx = sx.velocity
            logo._vy = sy.velocity
            logo.drawnX = sx.position
            logo.drawnY = sy.position
        }
    }

    MouseArea {
        anchors.fill: parent
        hoverEnabled: true
        acceptedButtons: Qt.NoButton
        onPositionChanged: (mouse) => logo.pointer = Qt.point(mouse.x, mouse.y)
        onExited: logo.pointer = logo.centre()
    }

    Item {
        id: tile
        anchors.fill: parent

        transform: [
            Rotation {
                origin.x: tile.width / 2
                origin.y: tile.height / 2
                axis { x: 1; y: 0; z: 0 }
                angle: logo.angleX
            },
            Rotation {
                origin.x: tile.width / 2
                origin.y: tile.height / 2
                axis { x: 0; y: 1; z: 0 }
                angle: logo.angleY
            }
        ]

        layer.enabled: logo.glows
        layer.effect: DropShadowEffect {
            color: Qt.alpha(ThemeManager.accent, 0.3)
            radius: 14
            samples: 29
            verticalOffset: 4
            transparentBorder: true
        }

        Shape {
            anchors.fill: parent
            // Card: glassy fill and a hairline edge.
            TileShapePath {
                w: tile.width
                h: tile.height
                strokeColor: Qt.rgba(1, 1, 1, 0.16)
                strokeWidth: 1
                fillGradient: LinearGradient {
                    x1: 0; y1: 0
                    x2: tile.width; y2: tile.height
                    GradientStop { position: 0; color: Qt.rgba(1, 1, 1, 0.16) }
                    GradientStop { position: 1; color: Qt.rgba(1, 1, 1, 0.03) }
                }
            }
            // Light spot under the pointer.
            TileShapePath {
                w: tile.width
                h: tile.height
                strokeColor: "transparent"
                fillGradient: RadialGradient {
                    centerX: logo.lightCentre.x * tile.width
                    centerY: logo.lightCentre.y * tile.height
                    focalX: centerX
                    focalY: centerY
                    centerRadius: 0.7 * tile.width
                    focalRadius: 0
                    GradientStop { position: 0; color: Qt.alpha(ThemeManager.accent, 0.45) }
                    GradientStop { position: 1; color: "transparent" }
                }
            }
        }

        Item {
            id: glyphBox
            anchors.fill: parent
            anchors.margins: 0.18 * tile.width
            layer.enabled: logo.glows
            layer.effect: DropShadowEffect {
                color: Qt.rgba(0, 0, 0, 0.7)
                radius: 4
                samples: 9
                verticalOffset: 2
                transparentBorder: true
            }
            Image {
                anchors.fill: parent
                source: Assets.image("VexelMark")
                sourceSize: Qt.size(Math.max(1, width), Math.max(1, height))
                fillMode: Image.PreserveAspectFit
                layer.enabled: logo.glows
                layer.effect: DropShadowEffect {
                    color: Qt.alpha(ThemeManager.accent, 0.45)
                    radius: 14
                    samples: 29
                    transparentBorder: true
                }
            }
        }
    }
}
