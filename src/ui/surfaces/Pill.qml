import QtQuick
import Corvane

// One card of the Bar Mode strip: a glowing dot and a capital caption over the content.
Item {
    id: pill

    property string title
    property color accent: ThemeManager.accent
    default property alias content: body.data

    // The software renderer draws no graphical effects: the pill then goes without glows.
    readonly property bool glows: GraphicsInfo.api !== GraphicsInfo.Software && GraphicsInfo.api !== GraphicsInfo.Unknown

    implicitWidth: column.implicitWidth + 24
    implicitHeight: column.implicitHeight + 18

    function withAlpha(c, a) { return Qt.rgba(c.r, c.g, c.b, c.a * a) }

    // Effects are made only where they draw: creating one opens an OpenGL context even
    // when hidden, which the software renderer never needs.
    Loader {
        active: pill.glows
        anchors.fill: parent
        anchors.topMargin: 4
        anchors.bottomMargin: -4
        sourceComponent: RectangularGlowEffect {
            glowRadius: 10
            spread: 0
            cornerRadius: 14 + glowRadius
            color: Qt.rgba(0, 0, 0, 0.35)
        }
    }
    Loader {
        active: pill.glows
        anchors.fill: parent
        anchors.topMargin: 2
        anchors.bottomMargin: -2
        sourceComponent: RectangularGlowEffect {
            glowRadius: 12
            spread: 0
            cornerRadius: 14 + glowRadius
            color: pill.withAlpha(pill.accent, 0.25)
        }
    }

    VisualEffectBlur {
        id: backdrop
        visible: pill.glows
        anchors.fill: parent
        radius: 14
        material: "hudWindow"
        blendingMode: "behindWindow"
        blurState: "active"
        forceDark: false
    }
    PillChrome {
        anchors.fill: parent
        radius: 14
        accent: pill.accent
        backdrop: pill.glows ? "transparent" : backdrop.color
    }

    StripColumn {
        id: column
        x: 12
        y: 9
        spacing: 6

        StripRow {
            spacing: 5
            Item {
                width: 5
                height: 5
                anchors.verticalCenter: parent.verticalCenter
                Loader {
                    active: pill.glows
                    anchors.fill: parent
                    sourceComponent: RectangularGlowEffect {
                        glowRadius: 3
                        cornerRadius: 2.5 + glowRadius
                        color: pill.accent
                    }
                }
                Rectangle {
                    objectName: "pillDot"
                    anchors.fill: parent
                    radius: 2.5
                    color: pill.accent
                }
            }
            Text {
                objectName: "pillCaption"
                anchors.verticalCenter: parent.verticalCenter
                text: pill.title
                textFormat: Text.PlainText
                font.family: "Quicksand"
                font.pixelSize: 8
                font.weight: Font.Black
                font.letterSpacing: 1.6
                // The strip scales its pills: see BarModeView's `hinting`.
                font.hintingPreference: Font.PreferNoHinting
                color: Qt.rgba(1, 1, 1, 0.6)
            }
        }

        Item {
            id: body
            implicitWidth: childrenRect.width
            implicitHeight: childrenRect.height
            width: implicitWidth
            height: implicitHeight
        }
    }
}
