import QtQuick
import Corvane

// A faint 32-point grid over the whole item, for locating a pixel.
Canvas {
    id: grid
    renderStrategy: Canvas.Immediate
    onWidthChanged: requestPaint()
    onHeightChanged: requestPaint()
    onPaint: {
        const ctx = getContext("2d")
        ctx.reset()
        ctx.strokeStyle = Qt.rgba(0, 0, 0, 0.1)
        ctx.lineWidth = 0.5
        for (const x of CheckRules.gridLines(width)) {
            ctx.beginPath(); ctx.moveTo(x, 0); ctx.lineTo(x, height); ctx.stroke()
        }
        for (const y of CheckRules.gridLines(height)) {
            ctx.beginPath(); ctx.moveTo(0, y); ctx.lineTo(width, y); ctx.stroke()
        }
    }
}
