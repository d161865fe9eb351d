import QtQuick
import QtQuick.Controls.Basic
import Corvane

// An on/off switch in the theme's accent; the label sits on the leading side.
Switch {
    id: toggle

    property color tint: ThemeManager.accent
    property color labelColor: "white"

    spacing: 10
    padding: 0
    // Sized from the track as well as the label: without a label it still has the track's
    // size, so it can be laid out and clicked.
    implicitWidth: Math.max(implicitContentWidth + leftPadding + rightPadding,
                            implicitIndicatorWidth + leftPadding + rightPadding)
    implicitHeight: Math.max(implicitContentHeight, implicitIndicatorHeight) + topPadding + bottomPadding

    indicator: Rectangle {
        implicitWidth: 38
        implicitHeight: 22
        x: toggle.text.length > 0 ? toggle.width - width - toggle.rightPadding : toggle.leftPadding
        y: toggle.topPadding + (toggle.availableHeight - height) / 2
        radius: height / 2
        color: toggle.checked ? toggle.tint : Qt.rgba(1, 1, 1, 0.08)
        Behavior on color { ColorAnimation { duration: 150 } }
        // On and off must read apart in every theme: off is a dim outline, on is filled.
        border.width: toggle.checked ? 0 : 1.5
        border.color: Qt.rgba(1, 1, 1, 0.3)
        FocusRing {
            shown: toggle.visualFocus
            radius: parent.radius + 3
        }
        Rectangle {
            x: toggle.checked ? parent.width - width - 2 : 2
            y: 2
            width: parent.height - 4
            height: width
            radius: width / 2
            // A dark knob on a light track (the mono theme's greys), a white one on a dark track.
            color: !toggle.checked ? Qt.rgba(1, 1, 1, 0.7)
                 : 0.2126 * toggle.tint.r + 0.7152 * toggle.tint.g + 0.0722 * toggle.tint.b > 0.6 ? "#15171e" : "white"
            // Keeps the knob apart from a white track (mono theme).
            border.width: 1
            border.color: Qt.rgba(0, 0, 0, 0.18)
            Behavior on x { NumberAnimation { duration: 150; easing.type: Easing.OutCubic } }
        }
    }

    contentItem: Text {
        visible: toggle.text.length > 0
        rightPadding: toggle.text.length > 0 ? toggle.indicator.width + toggle.spacing : 0
        text: toggle.text
        textFormat: Text.PlainText
        font: toggle.font
        color: toggle.labelColor
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }
}
