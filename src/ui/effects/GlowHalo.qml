import QtQuick
import Corvane

// A glow behind its parent (a text, symbol or rounded bar), for the software scene graph:
// painted once into an image under the parent's own drawing. A hardware scene graph draws
// the same glow through the effect wrappers instead, so there this stays hidden.
SoftGlow {
    z: -1
    // Room around the parent for the blur to fade out in.
    readonly property real spill: Math.ceil(Math.max(radius, radius2)) + 2
    inset: spill
    x: -spill
    y: -spill
    width: parent ? parent.width + 2 * spill : 0
    height: parent ? parent.height + 2 * spill : 0
    visible: GraphicsInfo.api === GraphicsInfo.Software
}
