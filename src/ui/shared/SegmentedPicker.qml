import QtQuick
import QtQuick.Controls.Basic
import Corvane

// Side-by-side segments, one of them selected; `picked` reports the user's choice.
Rectangle {
    id: picker

    property var labels: []
    property int currentIndex: 0
    signal picked(int index)

    implicitWidth: 130
    implicitHeight: 24
    radius: 6
    color: Qt.rgba(1, 1, 1, 0.08)
    border.width: 1
    border.color: Qt.rgba(1, 1, 1, 0.1)

    Row {
        anchors.fill: parent
        anchors.margins: 2
        Repeater {
            model: picker.labels
            delegate: AbstractButton {
                id: segment
                required property int index
                required property string modelData
                objectName: "segment_" + modelData
                readonly property bool isSelected: picker.currentIndex === index
                width: (picker.width - 4) / Math.max(1, picker.labels.length)
                height: picker.height - 4
                focusPolicy: Qt.TabFocus
                onClicked: picker.picked(index)
                background: Rectangle {
                    radius: 5
                    color: segment.isSelected ? Qt.rgba(1, 1, 1, 0.22) : "transparent"
                    FocusRing { shown: segment.visualFocus; anchors.margins: -1; radius: 6 }
                }
                contentItem: Text {
                    text: segment.modelData
                    textFormat: Text.PlainText
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                    font.family: "Inter"
                    font.pixelSize: 11
                    font.weight: segment.isSelected ? Font.DemiBold : Font.Normal
                    color: segment.isSelected ? "white" : Qt.rgba(1, 1, 1, 0.7)
                }
            }
        }
    }
}
