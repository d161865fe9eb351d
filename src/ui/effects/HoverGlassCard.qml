import QtQuick
import QtQuick.Layouts
import Corvane

// Frosted card frame with a heading (accent badge, upper-case title, status dot) above
// the caller's content. While the pointer is over it the card grows a little, tilts
// with the pointer, throws a coloured shadow and shows a glow under the pointer.
Item {
    id: card

    property string title
    property string icon
    // A colour or an AppPalette gradient (from, to, start, end as unit points).
    property var accent: "white"
    property color accentColor: "white"
    default property alias content: contentSlot.data

    property bool hover: false
    // Last pointer location in the card's coordinates; kept when the pointer leaves so
    // the glow fades where it was.
    property point pointer: Qt.point(0, 0)
    readonly property size size: Qt.size(glass.width, glass.height)

    // Blurs and glows need the hardware scene graph; the software one gets a plain look.
    readonly property bool effectsOn: GraphicsInfo.api !== GraphicsInfo.Software && GraphicsInfo.api !== GraphicsInfo.Unknown
                                      && GraphicsInfo.api !== GraphicsInfo.Unknown

    // 0 at rest, 1 hovering; every hover-dependent value is interpolated by it.
    property real hoverAmount: hover ? 1 : 0
    Behavior on hoverAmount { NumberAnimation { duration: 350; easing.type: Easing.OutCubic } }
    property real shownPointerX: pointer.x
    Behavior on shownPointerX { NumberAnimation { duration: 180; easing.type: Easing.OutCubic } }
    property real shownPointerY: pointer.y
    Behavior on shownPointerY { NumberAnimation { duration: 180; easing.type: Easing.OutCubic } }
    readonly property point shownPointer: Qt.point(shownPointerX, shownPointerY)

    readonly property bool accentIsGradient: accent !== null && typeof accent === "object"
                                             && accent.from !== undefined

    function trackPointer(p) {
        // A frame can re-deliver the same position: no new pointer animation then.
        if (p.x !== pointer.x || p.y !== pointer.y)
            pointer = p;
        if (!hover) {
            hover = true;
            Haptics.perform(Haptics.Alignment);
        }
    }

    function endHover() {
        hover = false;
    }

    implicitWidth: stack.implicitWidth + 32
    implicitHeight: stack.implicitHeight + 32

    HoverHandler {
        id: hoverTracker
        onHoveredChanged: hovered ? card.trackPointer(point.position) : card.endHover()
        onPointChanged: if (hovered) card.trackPointer(point.position)
    }

    // The tilted face. The pointer is tracked on the card around it, which never moves:
    // measured on the face, the tilt it drives would move the pointer under it in turn.
    Item {
        id: face
        anchors.fill: parent

        transform: [
            Scale {
                origin.x: card.width / 2
                origin.y: card.height / 2
                xScale: 1 + 0.012 * card.hoverAmount
                yScale: 1 + 0.012 * card.hoverAmount
            },
            Rotation {
                origin.x: card.width / 2
                origin.y: card.height / 2
                axis { x: 1; y: 0; z: 0 }
                angle: card.hoverAmount * GlassTilt.tiltAboutX(card.shownPointer, card.size)
            },
            Rotation {
                origin.x: card.width / 2
                origin.y: card.height / 2
                axis { x: 0; y: 1; z: 0 }
                angle: card.hoverAmount * GlassTilt.tiltAboutY(card.shownPointer, card.size)
            }
        ]

        // Coloured shadow that follows the pointer sideways.
        Loader {
            active: card.effectsOn
            anchors.fill: glass
            anchors.leftMargin: card.hoverAmount * GlassTilt.shadowOffsetX(card.shownPointer, card.size)
            anchors.rightMargin: -anchors.leftMargin
            anchors.topMargin: 12 * card.hoverAmount
            anchors.bottomMargin: -anchors.topMargin
            sourceComponent: RectangularGlowEffect {
                glowRadius: 28
                spread: 0
                cornerRadius: 20 + glowRadius
                color: Qt.rgba(card.accentColor.r, card.accentColor.g, card.accentColor.b,
                               0.45 * card.hoverAmount)
            }
        }

        Item {
            id: glass
            objectName: "glass"
            anchors.fill: parent

            // Ultra-thin material stands in as a translucent dark fill, under the card's fill,
            // a faint grid and scan lines in the accent colour, the glow under the pointer
            // and the 1-point border (the ring between the outline and an outline inset by
            // one point). One image: on a card at rest nothing in it changes.
            GlassPanePainter {
                objectName: "pane"
                readonly property point centre: GlassTilt.glowCenter(card.shownPointer, card.size)
                anchors.fill: parent
                enabled: false
                radius: 20
                baseColor: Qt.rgba(0.08, 0.09, 0.13, 0.5 * 0.85)
                tintColor: AppPalette.cardFill
                gridColor: Qt.rgba(1, 1, 1, 0.018)
                gridSpacing: 22
                scanColor: Qt.alpha(card.accentColor, card.accentColor.a * 0.03)
                scanSpacing: 3
                glowColor: Qt.rgba(card.accentColor.r, card.accentColor.g, card.accentColor.b, 0.35 * card.hoverAmount)
                glowCentre: card.hoverAmount > 0 ? Qt.point(centre.x * Math.max(1, glass.width), centre.y * Math.max(1, glass.height))
                                                 : Qt.point(0, 0)
                glowRadius: 260
                rimWidth: 1
                rimFromColor: Qt.rgba(card.accentColor.r, card.accentColor.g, card.accentColor.b,
                                      0.25 + 0.15 * card.hoverAmount)
                rimToColor: Qt.rgba(1, 1, 1, 0.05)
            }
        }

        ColumnLayout {
            id: stack
            x: 16
            y: 16
            width: card.width - 32
            spacing: 12

            RowLayout {
                Layout.fillWidth: true
                spacing: 10

                Item {
                    id: badge
                    objectName: "badge"
                    Layout.preferredWidth: 28
                    Layout.preferredHeight: 28
                    Layout.alignment: Qt.AlignVCenter

                    readonly property real glowRadius: 10 + 4 * card.hoverAmount
                    readonly property real glowOpacity: 0.45 + 0.4 * card.hoverAmount

                    Loader {
                        active: card.effectsOn
                        anchors.fill: parent
                        sourceComponent: Item {
                            RectangularGlowEffect {
                                anchors.fill: parent
                                glowRadius: badge.glowRadius
                                cornerRadius: 8 + glowRadius
                                color: Qt.rgba(card.accentColor.r, card.accentColor.g, card.accentColor.b,
                                               badge.glowOpacity)
                            }
                            RectangularGlowEffect {
                                anchors.fill: parent
                                glowRadius: badge.glowRadius * 0.4
                                cornerRadius: 8 + glowRadius
                                color: Qt.rgba(card.accentColor.r, card.accentColor.g, card.accentColor.b,
                                               badge.glowOpacity * 0.6)
                            }
                        }
                    }

                    RoundedGradientPainter {
                        anchors.fill: parent
                        radius: 8
                        fromColor: card.accentIsGradient ? card.accent.from : card.accent
                        toColor: card.accentIsGradient ? card.accent.to : card.accent
                        fromPoint: card.accentIsGradient ? Qt.point(card.accent.start.x * 28, card.accent.start.y * 28)
                                                         : Qt.point(0, 0)
                        toPoint: card.accentIsGradient ? Qt.point(card.accent.end.x * 28, card.accent.end.y * 28)
                                                       : Qt.point(28, 28)
                    }

                    SymbolIcon {
                        anchors.centerIn: parent
                        symbol: card.icon
                        pointSize: 14
                        bold: true
                        color: Qt.rgba(0, 0, 0, 0.85)
                    }
                }

                Text {
                    objectName: "title"
                    Layout.alignment: Qt.AlignVCenter
                    Layout.minimumWidth: 0
                    Layout.fillWidth: false
                    text: card.title.toUpperCase()
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    font.family: "Quicksand"
                    font.pixelSize: 11
                    font.weight: Font.ExtraBold
                    font.letterSpacing: 2
                    color: Qt.rgba(1, 1, 1, 0.92)
                }

                Item { Layout.fillWidth: true }

                Item {
                    objectName: "statusDot"
                    Layout.preferredWidth: 16
                    Layout.preferredHeight: 16
                    Layout.alignment: Qt.AlignVCenter
                    opacity: 0.65 + 0.35 * card.hoverAmount

                    Rectangle {
                        anchors.fill: parent
                        radius: 8
                        color: Qt.rgba(card.accentColor.r, card.accentColor.g, card.accentColor.b, 0.2)
                    }
                    Loader {
                        active: card.effectsOn
                        anchors.centerIn: parent
                        width: 5
                        height: 5
                        sourceComponent: RectangularGlowEffect {
                            glowRadius: 4
                            cornerRadius: 2.5 + glowRadius
                            color: card.accentColor
                        }
                    }
                    Rectangle {
                        anchors.centerIn: parent
                        width: 5
                        height: 5
                        radius: 2.5
                        color: card.accentColor
                    }
                }
            }

            Item {
                id: contentSlot
                Layout.fillWidth: true
                implicitWidth: childrenRect.width
                implicitHeight: childrenRect.height
            }
        }
    }
}
