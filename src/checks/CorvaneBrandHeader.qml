import QtQuick
import Corvane

// The brand lock-up: the glyph above the two-line wordmark, in a regular or compact size.
Column {
    id: header
    property bool compact: false

    spacing: compact ? 8 : 12

    ParallaxLogo {
        objectName: "logo"
        size: header.compact ? 44 : 62
    }
    Column {
        spacing: 2
        Text {
            objectName: "brandWord"
            text: "CORVANE"
            textFormat: Text.PlainText
            font.family: "Quicksand"
            font.weight: Font.Black
            font.pixelSize: header.compact ? 13 : 16
            font.letterSpacing: header.compact ? 2.5 : 3.5
            color: "white"
        }
        Row {
            spacing: 6
            Rectangle {
                objectName: "bar"
                anchors.verticalCenter: parent.verticalCenter
                width: header.compact ? 14 : 20
                height: 1.2
                gradient: Gradient {
                    orientation: Gradient.Horizontal
                    GradientStop { position: 0; color: ThemeManager.accent }
                    GradientStop { position: 1; color: Qt.alpha(ThemeManager.accent, 0) }
                }
            }
            Text {
                objectName: "caption"
                anchors.verticalCenter: parent.verticalCenter
                text: "SKERRIN"
                textFormat: Text.PlainText
                font.family: "Quicksand"
                font.weight: Font.ExtraBold
                font.pixelSize: header.compact ? 9 : 10.5
                font.letterSpacing: header.compact ? 2.2 : 2.6
                color: ThemeManager.accent
            }
        }
    }
}
