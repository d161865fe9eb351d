import QtQuick

// A glow around a source's shape, made only where a hardware scene graph runs (see GpuEffect).
GpuEffect {
    property var source
    property var radius
    property var samples
    property var spread
    property var color
    property var transparentBorder
    property var cached

    effectSource: "GlowGpu.qml"
    forwarded: ["source", "radius", "samples", "spread", "color", "transparentBorder", "cached"]
}
