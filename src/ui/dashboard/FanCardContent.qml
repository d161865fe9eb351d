import QtQuick
import QtQuick.Layouts
import QtQuick.Controls.Basic
import Corvane

// "VENTILATOARE": one row per fan, then manual control (Auto / Boost / Max, the fan picker,
// a target slider with its apply button) and the outcome of the last command.
ColumnLayout {
    id: content

    property var smc: null
    readonly property alias panel: fans
    readonly property color second: Qt.alpha(ThemeManager.accentSecondary, 0.85)
    readonly property color secondAt15: Qt.alpha(ThemeManager.accentSecondary, 0.85 * 0.15)

    spacing: 12

    FanControlPanel {
        id: fans
        smc: content.smc
    }

    component Capsule: Rectangle {
        id: cap
        property string text
        property color textColor: "white"
        property string family: "Quicksand"
        property int weight: Font.Bold
        property int size: 11
        property real hpad: 12
        property real vpad: 5
        property real tracking: 0
        signal activated()
        property bool interactive: false
        implicitWidth: label.implicitWidth + 2 * hpad
        implicitHeight: label.implicitHeight + 2 * vpad
        radius: height / 2
        opacity: !interactive || enabled ? 1 : 0.45
        Text {
            id: label
            objectName: "label"
            anchors.centerIn: parent
            text: cap.text
            textFormat: Text.PlainText
            font.family: cap.family
            font.weight: cap.weight
            font.pixelSize: cap.size
            font.letterSpacing: cap.tracking
            color: cap.textColor
        }
        TapHandler {
            enabled: cap.interactive
            onTapped: cap.activated()
        }
    }

    Text {
        objectName: "noFans"
        visible: fans.count === 0
        Layout.fillWidth: true
        Layout.topMargin: 16
        Layout.bottomMargin: 16
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.Wrap
        text: "Niciun ventilator detectat (răcire pasivă)."
        textFormat: Text.PlainText
        font.family: "Inter"
        font.pixelSize: 11
        color: AppPalette.textSecondary
    }

    Repeater {
        model: fans
        delegate: ColumnLayout {
            id: fanRow
            required property int fanIndex
            required property string name
            required property real rpm
            required property real minRPM
            required property real maxRPM
            required property real fraction
            required property int percent
            objectName: "fan." + fanIndex
            Layout.fillWidth: true
            spacing: 6

            RowLayout {
                Layout.fillWidth: true
                Text {
                    objectName: "fanName"
                    Layout.alignment: Qt.AlignBaseline
                    text: fanRow.name.toUpperCase()
                    textFormat: Text.PlainText
                    font.family: "Quicksand"
                    font.weight: Font.Black
                    font.pixelSize: 9
                    font.letterSpacing: 1.3
                    color: Qt.rgba(1, 1, 1, 0.45)
                }
                Item { Layout.fillWidth: true }
                Text {
                    objectName: "speed"
                    Layout.alignment: Qt.AlignBaseline
                    text: fanRow.rpm < 1 ? "oprit" : DashboardRules.whole(fanRow.rpm) + " rpm"
                    textFormat: Text.PlainText
                    font.family: "DejaVu Sans Mono"
                    font.bold: true
                    font.pixelSize: 15
                    color: fanRow.rpm < 1 ? AppPalette.textSecondary : "white"
                }
                Capsule {
                    objectName: "percent"
                    visible: !(fanRow.rpm < 1)
                    Layout.alignment: Qt.AlignVCenter
                    text: fanRow.percent + "%"
                    family: "DejaVu Sans Mono"
                    weight: Font.DemiBold
                    size: 10
                    hpad: 6
                    vpad: 2
                    textColor: content.second
                    color: content.secondAt15
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
                    objectName: "fanFill"
                    height: parent.height
                    width: parent.width * fanRow.fraction
                    visible: width > 0
                    radius: 3
                    color: content.second
                }
            }
            RowLayout {
                Layout.fillWidth: true
                Text {
                    text: "min " + DashboardRules.whole(fanRow.minRPM)
                    textFormat: Text.PlainText
                    font.family: "Inter"
                    font.pixelSize: 10
                    color: AppPalette.textSecondary
                }
                Item { Layout.fillWidth: true }
                Text {
                    objectName: "maxCaption"
                    text: "max " + (fanRow.maxRPM > 0 ? DashboardRules.whole(fanRow.maxRPM) : "—") // 0: not reported
                    textFormat: Text.PlainText
                    font.family: "Inter"
                    font.pixelSize: 10
                    color: AppPalette.textSecondary
                }
            }
        }
    }

    ColumnLayout {
        objectName: "manualControl"
        visible: fans.count > 0
        Layout.fillWidth: true
        spacing: 8

        Rectangle {
            Layout.fillWidth: true
            implicitHeight: 1
            color: Qt.rgba(1, 1, 1, 0.08)
        }
        RowLayout {
            Layout.fillWidth: true
            Text {
                text: "CONTROL MANUAL"
                textFormat: Text.PlainText
                font.family: "Quicksand"
                font.weight: Font.Black
                font.pixelSize: 9
                font.letterSpacing: 1.3
                color: Qt.rgba(1, 1, 1, 0.45)
            }
            Item { Layout.fillWidth: true }
            Capsule {
                objectName: "manualBadge"
                visible: content.smc ? content.smc.fanManualActive : false
                text: "MANUAL"
                weight: Font.Black
                size: 8
                tracking: 1
                hpad: 6
                vpad: 2
                textColor: ThemeManager.warning
                color: Qt.alpha(ThemeManager.warning, 0.15)
            }
        }
        RowLayout {
            Layout.fillWidth: true
            spacing: 8
            Capsule {
                objectName: "autoButton"
                interactive: true
                enabled: !fans.applying
                text: "Auto"
                textColor: Qt.rgba(1, 1, 1, 0.8)
                color: Qt.rgba(1, 1, 1, 0.08)
                onActivated: fans.apply(null)
            }
            Capsule {
                objectName: "boostButton"
                interactive: true
                enabled: !fans.applying
                text: "Boost"
                textColor: content.second
                color: Qt.alpha(content.second, 0.85 * 0.18)
                onActivated: fans.apply(fans.boostTarget)
            }
            Capsule {
                objectName: "maxButton"
                interactive: true
                enabled: !fans.applying
                text: "Max"
                textColor: content.second
                color: Qt.alpha(content.second, 0.85 * 0.18)
                onActivated: fans.apply(fans.sliderUpper)
            }
            Item { Layout.fillWidth: true }
            ComboBox {
                id: scopePicker
                objectName: "scopePicker"
                visible: fans.count >= 2
                Layout.maximumWidth: 110
                Layout.preferredWidth: 110
                implicitHeight: 24
                font.family: "Inter"
                font.pixelSize: 11
                model: fans.scopeOptions
                textRole: "text"
                valueRole: "value"
                currentIndex: Math.max(0, indexOfValue(fans.scope))
                onActivated: (i) => fans.scope = valueAt(i)
                background: Rectangle {
                    radius: 6
                    color: Qt.rgba(1, 1, 1, 0.08)
                    border.color: Qt.rgba(1, 1, 1, 0.12)
                }
                contentItem: Text {
                    leftPadding: 8
                    text: scopePicker.displayText
                    textFormat: Text.PlainText
                    font: scopePicker.font
                    color: "white"
                    verticalAlignment: Text.AlignVCenter
                    elide: Text.ElideRight
                }
            }
        }
        RowLayout {
            Layout.fillWidth: true
            spacing: 10
            Slider {
                id: slider
                objectName: "targetSlider"
                Layout.fillWidth: true
                implicitHeight: 20
                enabled: !fans.applying
                from: fans.sliderLower
                to: fans.sliderUpper
                stepSize: 0
                value: fans.targetRPM
                onMoved: fans.targetRPM = value
                background: Rectangle {
                    x: slider.leftPadding
                    y: slider.topPadding + slider.availableHeight / 2 - height / 2
                    width: slider.availableWidth
                    height: 4
                    radius: 2
                    color: Qt.rgba(1, 1, 1, 0.1)
                    Rectangle {
                        width: slider.visualPosition * parent.width
                        height: parent.height
                        radius: 2
                        color: content.second
                    }
                }
                handle: Rectangle {
                    x: slider.leftPadding + slider.visualPosition * (slider.availableWidth - width)
                    y: slider.topPadding + slider.availableHeight / 2 - height / 2
                    width: 14
                    height: 14
                    radius: 7
                    color: slider.pressed ? Qt.rgba(0.85, 0.85, 0.9, 1) : "white"
                }
            }
            Text {
                objectName: "targetText"
                Layout.preferredWidth: 70
                horizontalAlignment: Text.AlignRight
                text: DashboardRules.whole(fans.targetRPM) + " rpm"
                textFormat: Text.PlainText
                font.family: "DejaVu Sans Mono"
                font.bold: true
                font.pixelSize: 11
                color: "white"
            }
            Capsule {
                objectName: "applyButton"
                interactive: true
                enabled: !fans.applying
                text: fans.applying ? "…" : "Aplică"
                textColor: content.second
                color: Qt.alpha(content.second, 0.85 * 0.25)
                onActivated: fans.apply(fans.targetRPM)
            }
        }
        Text {
            objectName: "fanMessage"
            Layout.fillWidth: true
            wrapMode: Text.Wrap
            text: content.smc && content.smc.fanControlMessage !== undefined && content.smc.fanControlMessage !== null
                  ? content.smc.fanControlMessage
                  : "Necesită parolă de administrator. La ieșirea din aplicație revine pe Auto."
            textFormat: Text.PlainText
            font.family: "Inter"
            font.pixelSize: 10
            color: AppPalette.textSecondary
        }
    }
}
