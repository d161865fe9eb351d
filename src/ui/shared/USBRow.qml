import QtQuick
import QtQuick.Layouts
import Corvane

// One USB device: status dot, name and vendor, port speed and a power pill.
// `device` carries name, vendor (absent, or a text that may be empty), portSpeed,
// powerMilliAmps and isBuiltIn.
Rectangle {
    id: row

    property var device: ({})
    readonly property bool hover: hoverHandler.hovered

    readonly property bool hasVendor: device !== null && device.vendor !== undefined && device.vendor !== null
    readonly property bool builtIn: device !== null && device.isBuiltIn === true
    readonly property string powerText: Fmt.fixed(device && device.powerMilliAmps !== undefined ? device.powerMilliAmps : 0, 0) + " mA"
    readonly property bool glows: GraphicsInfo.api !== GraphicsInfo.Software && GraphicsInfo.api !== GraphicsInfo.Unknown

    implicitWidth: layout.implicitWidth + 20
    implicitHeight: layout.implicitHeight + 12
    radius: 10
    color: Qt.rgba(1, 1, 1, hover ? 0.07 : 0.03)
    Behavior on color {
        ColorAnimation { duration: 150; easing.type: Easing.BezierSpline; easing.bezierCurve: [0, 0, 0.58, 1, 1, 1] }
    }

    HoverHandler { id: hoverHandler }

    RowLayout {
        id: layout
        anchors.fill: parent
        anchors.leftMargin: 10
        anchors.rightMargin: 10
        anchors.topMargin: 6
        anchors.bottomMargin: 6
        spacing: 10

        Rectangle {
            objectName: "dot"
            implicitWidth: 6
            implicitHeight: 6
            radius: 3
            color: row.builtIn ? AppPalette.textSecondary : ThemeManager.good
            layer.enabled: row.glows && !row.builtIn
            layer.effect: DropShadowEffect {
                color: Qt.alpha(ThemeManager.good, 0.7)
                radius: 3
                samples: 7
                transparentBorder: true
            }
        }

        ColumnLayout {
            spacing: 1
            Layout.fillWidth: true
            Text {
                objectName: "name"
                Layout.fillWidth: true
                text: row.device && row.device.name !== undefined ? row.device.name : ""
                textFormat: Text.PlainText
                elide: Text.ElideRight
                maximumLineCount: 1
                font.family: "Quicksand"
                font.bold: true
                font.pixelSize: 11
                color: "white"
            }
            Text {
                objectName: "vendor"
                Layout.fillWidth: true
                visible: row.hasVendor
                text: row.hasVendor ? row.device.vendor : ""
                textFormat: Text.PlainText
                elide: Text.ElideRight
                maximumLineCount: 1
                font.family: "Inter"
                font.pixelSize: 11
                color: AppPalette.textSecondary
            }
        }

        Text {
            objectName: "portSpeed"
            text: row.device && row.device.portSpeed !== undefined ? row.device.portSpeed : ""
            textFormat: Text.PlainText
            font.family: "Quicksand"
            font.bold: true
            font.pixelSize: 9
            color: Qt.rgba(1, 1, 1, 0.6)
        }

        Rectangle {
            implicitWidth: powerLabel.implicitWidth + 14
            implicitHeight: powerLabel.implicitHeight + 6
            radius: height / 2
            color: Qt.alpha(ThemeManager.warning, 0.18)
            Text {
                id: powerLabel
                objectName: "power"
                anchors.centerIn: parent
                text: row.powerText
                textFormat: Text.PlainText
                font.family: "DejaVu Sans Mono"
                font.bold: true
                font.pixelSize: 10
                color: ThemeManager.warning
            }
        }
    }
}
