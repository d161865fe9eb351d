import QtQuick
import Corvane

// A square grid of thin lines with cells of `spacing` points, anchored at the top-left.
LinePatternPainter {
    pattern: LinePatternPainter.Grid
    enabled: false
}
