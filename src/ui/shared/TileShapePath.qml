import QtQuick
import QtQuick.Shapes

// A rounded rectangle of w × h with corner radius r, as a shape path.
ShapePath {
    property real w
    property real h
    property real r: 14
    readonly property real rr: Math.max(0, Math.min(r, w / 2, h / 2))

    startX: rr
    startY: 0
    PathLine { x: w - rr; y: 0 }
    PathArc { x: w; y: rr; radiusX: rr; radiusY: rr }
    PathLine { x: w; y: h - rr }
    PathArc { x: w - rr; y: h; radiusX: rr; radiusY: rr }
    PathLine { x: rr; y: h }
    PathArc { x: 0; y: h - rr; radiusX: rr; radiusY: rr }
    PathLine { x: 0; y: rr }
    PathArc { x: rr; y: 0; radiusX: rr; radiusY: rr }
}
