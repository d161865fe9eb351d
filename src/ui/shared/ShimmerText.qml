import QtQuick
import Corvane

// Text filled with a fixed horizontal gradient: the base colour at both ends and the
// highlight at the middle (rising from 35 % and gone again at 65 % of the width).
GradientText {
    font: Qt.font({ family: "Inter", pixelSize: 13 })
}
