import QtQuick

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

    CARotatingImage {
        id: rotatingImage
        anchors.fill: parent
        imageName: "VexelMark"
        period: 240
        imageOpacity: 1.0
        externalTime: watermark.externalTime
        imageItem.layer.enabled: watermark.glows
        imageItem.layer.effect: FastBlurEffect { radius: 4; transparentBorder: true }
    }
}
