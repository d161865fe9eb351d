import QtQuick
import Corvane

// The brand glyph turning very slowly; its faintness comes from whoever places it.
Item {
    id: watermark

    readonly property bool glows: GraphicsInfo.api !== GraphicsInfo.Software && GraphicsInfo.api !== GraphicsInfo.Unknown

    // When set (>= 0), the turn follows this clock in seconds instead of its own.
    property real externalTime: -1

    implicitWidth: 520
    implicitHeight: 520
    width: 520
    height: 520

    // The software scene graph keeps the static look, where the glyph stands still: drawn
    // once, in strips (every frame's changes over the dashboard redraw what lies under them).
    Loader {
        anchors.fill: parent
        active: !watermark.glows
        sourceComponent: StillImage {
            objectName: "stillWatermark"
            source: Assets.image("VexelMark")
        }
    }
    Loader {
        anchors.fill: parent
        active: watermark.glows
        sourceComponent: CARotatingImage {
            imageName: "VexelMark"
            period: 240
            imageOpacity: 1.0
            externalTime: watermark.externalTime
            imageItem.layer.enabled: true
            imageItem.layer.effect: FastBlurEffect { radius: 4; transparentBorder: true }
        }
    }
}
