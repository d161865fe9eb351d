import QtQuick
import QtQuick.Controls.Basic
import Corvane

// A slider whose filled part and knob take the given tint.
Slider {
    id: slider

    property color tint: ThemeManager.accent

    implicitWidth: 200
    implicitHeight: 20
    padding: 0

    background: Item {
        x: slider.leftPadding
        y: slider.topPadding + (slider.availableHeight - height) / 2
        width: slider.availableWidth
        height: 4
        Rectangle {
            anchors.fill: parent
            radius: 2
            color: Qt.rgba(1, 1, 1, 0.12)
        }
        Rectangle {
            width: slider.visualPosition * parent.width
            height: parent.height
            radius: 2
            color: slider.tint
        }
    }

    handle: Rectangle {
        x: slider.leftPadding + slider.visualPosition * (slider.availableWidth - width)
        y: slider.topPadding + (slider.availableHeight - height) / 2
        width: 16
        height: 16
        radius: 8
        color: slider.pressed ? Qt.rgba(0.9, 0.9, 0.92, 1) : "white"
        border.width: 1
        border.color: Qt.rgba(0, 0, 0, 0.15)
        FocusRing { shown: slider.visualFocus; radius: 11 }
    }
}
