import QtQuick

// A quick blur, made only where a hardware scene graph runs (see GpuEffect).
GpuEffect {
    property var source
    property var radius
    property var transparentBorder
    property var cached

    effectSource: "FastBlurGpu.qml"
    forwarded: ["source", "radius", "transparentBorder", "cached"]
}
