import QtQuick
import Qt5Compat.GraphicalEffects

// The brand glyph turning very slowly; its faintness comes from whoever places it.
Item {
    id: watermark

    readonly property bool glows: GraphicsInfo.api !== GraphicsInfo.Software && GraphicsInfo.api !== GraphicsInfo.Unknown

    implicitWidth: 520
    implicitHeight: 520
    width: 520
    height: 520

    CARotatingImage {
        anchors.fill: parent
        imageName: "VexelMark"
        period: 240
        imageOpacity: 1.0
        layer.enabled: watermark.glows
        layer.effect: FastBlur { radius: 4; transparentBorder: true }
    }
}
