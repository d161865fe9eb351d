import QtQuick
import QtQuick.Controls.Basic
import Corvane

// The action button of every screen: a tinted capsule that shrinks and glows a little while
// pressed and gives one haptic tick when a press begins.
Button {
    id: button

    property color color: ThemeManager.accent
    property bool compact: false
    property string symbol: ""

    // 0 at rest, 1 pressed; scale, fill and shadow move together.
    property real pressAmount: pressed ? 1 : 0
    Behavior on pressAmount {
        NumberAnimation { duration: 120; easing.type: Easing.BezierSpline; easing.bezierCurve: [0, 0, 0.58, 1, 1, 1] }
    }
    readonly property bool glows: GraphicsInfo.api !== GraphicsInfo.Software && GraphicsInfo.api !== GraphicsInfo.Unknown

    font.family: "Quicksand"
    font.weight: Font.DemiBold
    font.pixelSize: compact ? 11 : 12
    leftPadding: compact ? 10 : 14
    rightPadding: compact ? 10 : 14
    topPadding: compact ? 6 : 9
    bottomPadding: compact ? 6 : 9
    scale: 1 - 0.04 * pressAmount

    contentItem: Row {
        spacing: 5
        SymbolIcon {
            visible: button.symbol !== ""
            symbol: button.symbol
            pointSize: button.font.pixelSize
            color: "white"
            anchors.verticalCenter: parent.verticalCenter
        }
        Text {
            text: button.text
            font: button.font
            color: "white"
            textFormat: Text.PlainText
            anchors.verticalCenter: parent.verticalCenter
        }
    }

    background: Rectangle {
        implicitWidth: 0
        implicitHeight: 0
        radius: height / 2
        color: Qt.alpha(button.color, 0.22 + 0.18 * button.pressAmount)
        border.width: 1
        border.color: Qt.alpha(button.color, 0.55)
        FocusRing { shown: button.visualFocus; radius: height / 2 + 3 }
    }

    layer.enabled: glows
    layer.effect: DropShadowEffect {
        color: Qt.alpha(button.color, 0.3 + 0.25 * button.pressAmount)
        radius: 6 + 4 * button.pressAmount
        samples: 21
        verticalOffset: 2
        transparentBorder: true
    }

    OnChangeCompat {
        value: button.pressed
        onChanged: (isPressed) => {
            if (isPressed)
                Haptics.perform(Haptics.Generic)
        }
    }
}
