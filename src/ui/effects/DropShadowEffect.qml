import QtQuick

// A drop shadow, made only where a hardware scene graph runs (see GpuEffect).
GpuEffect {
    property var source
    property var horizontalOffset
    property var verticalOffset
    property var radius
    property var samples
    property var spread
    property var color
    property var transparentBorder
    property var cached

    effectSource: "DropShadowGpu.qml"
    forwarded: ["source", "horizontalOffset", "verticalOffset", "radius", "samples", "spread",
                "color", "transparentBorder", "cached"]
}
