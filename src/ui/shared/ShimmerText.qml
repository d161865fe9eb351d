import QtQuick
import QtQuick.Shapes

// Text filled with a fixed horizontal gradient: the base colour at both ends and the
// highlight at the middle (rising from 35 % and gone again at 65 % of the width).
Shape {
    id: shimmer

    property string text
    property font font: Qt.font({ family: "Inter", pixelSize: 13 })
    property color baseColor: "white"
    property color highlightColor: "white"

    implicitWidth: metrics.advanceWidth
    implicitHeight: fontMetrics.height

    TextMetrics { id: metrics; font: shimmer.font; text: shimmer.text }
    FontMetrics { id: fontMetrics; font: shimmer.font }

    ShapePath {
        strokeColor: "transparent"
        strokeWidth: 0
        fillGradient: LinearGradient {
            x1: 0; y1: 0
            x2: shimmer.width; y2: 0
            GradientStop { position: 0.0; color: shimmer.baseColor }
            GradientStop { position: 0.35; color: shimmer.baseColor }
            GradientStop { position: 0.5; color: shimmer.highlightColor }
            GradientStop { position: 0.65; color: shimmer.baseColor }
            GradientStop { position: 1.0; color: shimmer.baseColor }
        }
        PathText {
            x: 0
            y: 0
            text: shimmer.text
            font: shimmer.font
        }
    }
}
