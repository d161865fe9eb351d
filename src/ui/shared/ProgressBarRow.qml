import QtQuick
import QtQuick.Layouts
import Corvane

// A caption with a right-aligned value over a thin bar showing a fraction.
ColumnLayout {
    id: row

    property real value: 0
    property string label
    property string trailing
    property color color: ThemeManager.accent

    readonly property real fraction: MotionGeometry.barFraction(value)
    readonly property bool glows: GraphicsInfo.api !== GraphicsInfo.Software && GraphicsInfo.api !== GraphicsInfo.Unknown

    spacing: 4

    RowLayout {
        Layout.fillWidth: true
        Text {
            objectName: "label"
            text: row.label.toUpperCase()
            textFormat: Text.PlainText
            font.family: "Quicksand"
            font.bold: true
            font.pixelSize: 9
            font.letterSpacing: 1.3
            color: Qt.rgba(1, 1, 1, 0.45)
        }
        Item { Layout.fillWidth: true }
        Text {
            objectName: "trailing"
            text: row.trailing
            textFormat: Text.PlainText
            font.family: "Inter"
            font.pixelSize: 11
            color: Qt.rgba(1, 1, 1, 0.65)
        }
    }

    Item {
        Layout.fillWidth: true
        implicitHeight: 6
        Rectangle {
            anchors.fill: parent
            radius: 3
            color: Qt.rgba(1, 1, 1, 0.08)
        }
        Rectangle {
            objectName: "fill"
            height: parent.height
            width: parent.width * row.fraction
            radius: 3
            color: row.color
            visible: width > 0
            layer.enabled: row.glows
            layer.effect: DropShadowEffect {
                color: Qt.alpha(row.color, 0.65)
                radius: 4
                samples: 9
                transparentBorder: true
            }
        }
    }
}
