import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvane

// One busy process: name, pid, a bar, the value and a terminate button.
Rectangle {
    id: row

    property var proc: ({})
    property bool isMemory: false
    property color rowColor: ThemeManager.accent
    property double ramTotal: 0
    // `target` is the process the row showed when the button went down: the list may refresh
    // before the release, and the release is still about that one.
    signal terminateRequested(var target)
    property var pressedTarget: null
    // The terminate button is down: the list must not move this row away from the pointer.
    readonly property bool terminatePressed: terminate.pressed

    readonly property double fraction: isMemory ? TabText.memoryFraction(proc.memoryBytes, ramTotal)
                                                : TabText.cpuFraction(proc.cpuPercent)
    readonly property string valueText: isMemory ? TabText.memoryText(proc.memoryBytes) : TabText.cpuText(proc.cpuPercent)

    implicitHeight: layout.implicitHeight + 14
    radius: 10
    color: Qt.rgba(1, 1, 1, 0.03)

    RowLayout {
        id: layout
        anchors.fill: parent
        anchors.leftMargin: 10
        anchors.rightMargin: 10
        anchors.topMargin: 7
        anchors.bottomMargin: 7
        spacing: 10

        Text {
            objectName: "processName"
            Layout.maximumWidth: 180
            text: row.proc.name
            textFormat: Text.PlainText
            elide: Text.ElideRight
            maximumLineCount: 1
            font.family: "Quicksand"
            font.pixelSize: 12
            font.bold: true
            color: "white"
        }
        Text {
            objectName: "pid"
            text: "pid " + row.proc.pid
            textFormat: Text.PlainText
            font.family: "DejaVu Sans Mono"
            font.pixelSize: 9
            font.weight: Font.DemiBold
            color: Qt.rgba(1, 1, 1, 0.35)
        }
        Item {
            objectName: "bar"
            Layout.fillWidth: true
            Layout.minimumWidth: 10
            Layout.preferredHeight: 6
            Rectangle {
                anchors.fill: parent
                radius: 3
                color: Qt.rgba(1, 1, 1, 0.06)
            }
            // A soft halo stands in for the shadow.
            Rectangle {
                anchors.verticalCenter: fill.verticalCenter
                x: -2
                width: fill.width > 0 ? fill.width + 4 : 0
                height: 10
                radius: 5
                color: Qt.alpha(row.rowColor, 0.18)
            }
            Rectangle {
                id: fill
                objectName: "barFill"
                height: parent.height
                width: parent.width * row.fraction
                radius: 3
                color: row.rowColor
            }
        }
        Text {
            objectName: "value"
            Layout.preferredWidth: 80
            horizontalAlignment: Text.AlignRight
            text: row.valueText
            textFormat: Text.PlainText
            font.family: "DejaVu Sans Mono"
            font.pixelSize: 11
            font.bold: true
            color: row.rowColor
        }
        AbstractButton {
            id: terminate
            objectName: "terminateButton"
            implicitWidth: 20
            implicitHeight: 20
            focusPolicy: Qt.TabFocus
            hoverEnabled: true
            onPressed: row.pressedTarget = { pid: row.proc.pid, name: row.proc.name, startTime: row.proc.startTime }
            onClicked: {
                const target = row.pressedTarget !== null ? row.pressedTarget : row.proc
                row.pressedTarget = null
                row.terminateRequested(target)
            }
            ToolTip.visible: hovered
            ToolTip.delay: 500
            ToolTip.text: "Închide procesul"
            contentItem: SymbolIcon {
                symbol: "xmark.circle.fill"
                pointSize: 14
                bold: true
                color: Qt.alpha(ThemeManager.critical, terminate.pressed ? 1 : 0.75)
            }
            background: Item {
                FocusRing { shown: terminate.visualFocus; radius: 12 }
            }
        }
    }
}
