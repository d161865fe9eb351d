import QtQuick
import Corvane

// A row of bars lit up to `level` (0…1); the top bars turn warning, then critical.
Row {
    id: meter
    property real level: 0
    property color glowColor: ThemeManager.good
    property int bars: 24

    spacing: 3
    height: 28

    Repeater {
        model: meter.bars
        Rectangle {
            required property int index
            readonly property bool lit: CheckRules.barLit(meter.level, index, meter.bars)
            readonly property string role: CheckRules.barRole(index, meter.bars)
            readonly property color tint: role === "critical" ? ThemeManager.critical
                                        : role === "warning" ? ThemeManager.warning : meter.glowColor
            objectName: "levelBar"
            width: 6
            height: 28
            radius: 2
            color: lit ? tint : Qt.rgba(1, 1, 1, 0.1)
            Behavior on color { ColorAnimation { duration: 100; easing.type: Easing.OutQuad } }
        }
    }
}
