import QtQuick
import Corvane

// Thin horizontal lines every `spacing` points, from the top edge down to the bottom.
LinePatternPainter {
    pattern: LinePatternPainter.ScanLines
    enabled: false
}
