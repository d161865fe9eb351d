import QtQuick
import Corvane

// Film grain: white specks in a fixed pattern that only rescales with the item.
// Decorative only; it never takes input.
GrainPainter {
    enabled: false
}
