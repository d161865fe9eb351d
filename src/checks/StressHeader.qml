import QtQuick
import QtQuick.Layouts
import Corvane

// A test sheet's header: caption and title at the left, the status pill and the close
// button at the right.
RowLayout {
    id: header
    property string caption
    property string title
    property string subtitle: ""
    property string pillText
    property color pillColor: "white"
    signal closeRequested()

    Layout.fillWidth: true

    ColumnLayout {
        spacing: 2
        Text {
            text: header.caption
            textFormat: Text.PlainText
            font.family: "Quicksand"
            font.pixelSize: 10
            font.weight: Font.Black
            font.letterSpacing: 2.5
            color: Qt.rgba(1, 1, 1, 0.55)
        }
        Text {
            objectName: "title"
            text: header.title
            textFormat: Text.PlainText
            font.family: "Quicksand"
            font.pixelSize: 26
            font.bold: true
            color: "white"
        }
        Text {
            visible: header.subtitle !== ""
            text: header.subtitle
            textFormat: Text.PlainText
            font.family: "Inter"
            font.pixelSize: 11
            color: Qt.rgba(1, 1, 1, 0.55)
        }
    }
    Item { Layout.fillWidth: true }
    Rectangle {
        implicitWidth: pill.implicitWidth + 20
        implicitHeight: pill.implicitHeight + 10
        radius: height / 2
        color: Qt.alpha(header.pillColor, 0.2)
        Text {
            id: pill
            objectName: "pill"
            anchors.centerIn: parent
            text: header.pillText
            textFormat: Text.PlainText
            font.family: "Quicksand"
            font.pixelSize: 10
            font.weight: Font.Black
            font.letterSpacing: 2
            color: header.pillColor
        }
    }
    HapticButton {
        objectName: "closeButton"
        symbol: "xmark"
        color: ThemeManager.critical
        compact: true
        onClicked: {
            Haptics.perform(Haptics.Generic)
            header.closeRequested()
        }
    }
}
