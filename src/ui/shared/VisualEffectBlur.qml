import QtQuick

// A blurred, translucent backdrop. Linux compositors give a window no behind-window blur,
// so the material is a translucent fill; forceDark picks the dark tint whatever the scheme.
Rectangle {
    property string material: "hudWindow"
    property string blendingMode: "behindWindow"
    property string blurState: "followsWindowActiveState"
    property bool forceDark: false

    color: forceDark ? Qt.rgba(0.07, 0.08, 0.11, 0.80) : Qt.rgba(0.14, 0.15, 0.19, 0.62)
}
