import QtQuick

// A soft glow around a rounded rectangle, made only where a hardware scene graph runs
// (see GpuEffect).
GpuEffect {
    property var glowRadius
    property var spread
    property var color
    property var cornerRadius
    property var cached

    effectSource: "RectangularGlowGpu.qml"
    forwarded: ["glowRadius", "spread", "color", "cornerRadius", "cached"]
}
