import QtQuick
import QtQuick.Window
import Corvane

// The borderless strip window of Bar Mode; its content fills it and follows its size.
Window {
    id: panel
    color: "transparent"
    title: "Corvane Bar Mode"

    BarModeView {
        anchors.fill: parent
    }
}
