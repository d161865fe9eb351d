import QtQuick
import Corvane

// A row of bars lit up to `level` (0…1): the glow colour, warning past 60 %, critical
// past 85 % of the row.
Item {
    id: meter

    property real level: 0
    property color glowColor: ThemeManager.accent
    property int bars: 24
    // Bars ease in and out; off, they switch (one repaint per new level).
    property bool animated: true

    implicitWidth: bars * 6 + Math.max(0, bars - 1) * 3
    implicitHeight: 28

    Row {
        anchors.centerIn: parent
        spacing: 3
        Repeater {
            model: meter.bars
            delegate: Rectangle {
                required property int index
                readonly property real p: (index + 1) / meter.bars
                readonly property bool lit: meter.level >= p
                readonly property color tone: p > 0.85 ? ThemeManager.critical
                                                     : p > 0.6 ? ThemeManager.warning : meter.glowColor
                objectName: "bar" + index
                width: 6
                height: 28
                radius: 2
                color: lit ? tone : Qt.rgba(1, 1, 1, 0.1)
                Behavior on color { enabled: meter.animated; ColorAnimation { duration: 100; easing.type: Easing.OutCubic } }
            }
        }
    }
}
