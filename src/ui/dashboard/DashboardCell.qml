import QtQuick
import QtQuick.Layouts
import Corvane

// One grid cell: an equal share of its row's width, as tall as the row, entering in turn.
CascadeEntrance {
    property real cardHeight: 0

    baseDelay: 0.1
    implicitWidth: 10
    implicitHeight: cardHeight
    Layout.fillWidth: true
    Layout.fillHeight: true
    Layout.preferredWidth: 10
    Layout.minimumWidth: 10
    Layout.preferredHeight: cardHeight
    Layout.alignment: Qt.AlignTop
}
