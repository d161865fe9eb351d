import QtQuick
import Corvane

// A small line chart: glowing line over a soft filled area, optional dashed grid and an
// optional pulse on the newest sample. No axes, labels or interaction.
Item {
    id: chart

    property var samples: []
    // A colour or an AppPalette gradient.
    property var gradient: AppPalette.cpuGradient
    property color glowColor: ThemeManager.accent
    // A number fixes the top of the scale; undefined follows the data.
    property var normalizedMax: undefined
    property bool showPulse: false
    property bool showGrid: false

    readonly property bool glows: GraphicsInfo.api !== GraphicsInfo.Software && GraphicsInfo.api !== GraphicsInfo.Unknown
    readonly property bool hasPlot: line.hasPlot

    // Without the line's glow layer one image holds grid, fill and line: the second's new
    // samples then repaint and blend one image instead of three.
    SparklinePlot {
        objectName: "grid"
        visible: chart.glows
        anchors.fill: parent
        samples: []
        showGrid: chart.showGrid
        drawFill: false
        drawLine: false
    }
    SparklinePlot {
        objectName: "fill"
        visible: chart.glows
        anchors.fill: parent
        samples: chart.glows ? chart.samples : []
        glowColor: chart.glowColor
        normalizedMax: chart.normalizedMax
        drawGrid: false
        drawLine: false
    }
    SparklinePlot {
        id: line
        objectName: "line"
        anchors.fill: parent
        samples: chart.samples
        paint: chart.gradient
        glowColor: chart.glowColor
        normalizedMax: chart.normalizedMax
        showGrid: chart.showGrid
        drawGrid: !chart.glows
        drawFill: !chart.glows
        layer.enabled: chart.glows
        layer.effect: DropShadowEffect {
            color: Qt.alpha(chart.glowColor, 0.85)
            radius: 5
            samples: 11
            transparentBorder: true
        }
    }

    Item {
        id: pulse
        objectName: "pulse"
        visible: chart.showPulse && line.hasPlot
        x: line.pulsePoint.x
        y: line.pulsePoint.y

        Rectangle {
            x: -3.5
            y: -3.5
            width: 7
            height: 7
            radius: 3.5
            color: chart.glowColor
            layer.enabled: chart.glows
            layer.effect: DropShadowEffect {
                color: Qt.alpha(chart.glowColor, 0.95)
                radius: 9
                samples: 19
                transparentBorder: true
            }
        }
        CAPulseRings {
            x: -7
            y: -7
            width: 14
            height: 14
            color: Qt.alpha(chart.glowColor, 0.55)
            lineWidth: 1.2
            period: 1.8
            maxScale: 2.2
            enabled: false
        }
    }
}
