import QtQuick
import QtQuick.Window
import Corvane

// The pixel test of one display: its identity and four facts, a preview of the test colour,
// and a borderless full-screen window on that very display.
Item {
    id: pixelTest
    signal dismiss()

    // A DisplayInfo (or an object with its fields).
    property var display: ({})
    property int step: 0
    // The full-screen window opened last, if any (null once it has closed itself).
    property var fullscreenWindow: null
    readonly property color dimWhite: Qt.rgba(1, 1, 1, 0.55)
    readonly property var colors: [
        { name: "Roșu", color: "#ff0000" },
        { name: "Verde", color: "#00ff00" },
        { name: "Albastru", color: "#0000ff" },
        { name: "Alb", color: "#ffffff" },
        { name: "Negru", color: "#000000" },
        { name: "Cyan", color: "#00ffff" },
        { name: "Magenta", color: Qt.rgba(1, 0, 1, 1) },
        { name: "Galben", color: Qt.rgba(1, 1, 0, 1) },
        { name: "Gri 50%", color: Qt.rgba(0.5, 0.5, 0.5, 1) },
        { name: "Gradient HDR", color: "#ffffff" }
    ]

    implicitWidth: 760
    implicitHeight: 620

    function closeFullscreen() {
        if (fullscreenWindow) {
            fullscreenWindow.close()
            fullscreenWindow.destroy()
        }
        fullscreenWindow = null
    }
    function advancePreview() { step = step + 1 >= colors.length ? 0 : step + 1 }
    function back() {
        Haptics.perform(Haptics.Alignment)
        step = Math.max(step - 1, 0)
    }
    function next() {
        Haptics.perform(Haptics.Alignment)
        advancePreview()
    }
    // The screen showing the display's output; the primary one when none matches.
    function targetScreen() {
        const screens = Qt.application.screens
        if (screens.length === 0)
            return null
        const names = []
        for (let i = 0; i < screens.length; ++i)
            names.push(screens[i].name)
        const index = CheckRules.screenIndexFor(names, pixelTest.display.screenName || "")
        return screens[index >= 0 ? index : 0]
    }
    function openFullscreen() {
        Haptics.perform(Haptics.LevelChange)
        closeFullscreen()
        const target = targetScreen()
        if (!target)
            return
        fullscreenWindow = fullscreenComponent.createObject(null, {
            screen: target, x: target.virtualX, y: target.virtualY, width: target.width, height: target.height
        })
        fullscreenWindow.showFullScreen()
        fullscreenWindow.raise()
        fullscreenWindow.requestActivate()
    }

    // No window outlives its sheet.
    Component.onDestruction: closeFullscreen()

    // The arrow keys step like the buttons (Escape belongs to whoever presents the sheet).
    focus: true
    Keys.onPressed: (event) => {
        if (event.modifiers !== Qt.NoModifier && event.modifiers !== Qt.KeypadModifier)
            return
        if (event.key === Qt.Key_Left) { back(); event.accepted = true }
        else if (event.key === Qt.Key_Right) { next(); event.accepted = true }
    }

    Component {
        id: fullscreenComponent
        Window {
            id: win
            objectName: "pixelFullscreenWindow"
            flags: Qt.Window | Qt.FramelessWindowHint | Qt.WindowStaysOnTopHint
            color: "black"
            property int step: 0
            function closeWindow() {
                win.close()
                win.destroy()
            }
            DisplayPixelTestFullscreen {
                anchors.fill: parent
                colors: pixelTest.colors
                step: win.step
                onStepRequested: (s) => win.step = s
                onCloseRequested: win.closeWindow()
            }
        }
    }

    Rectangle { anchors.fill: parent; color: "#0b0d16" }
    AnimatedBackground {
        anchors.fill: parent
        colors: [ThemeManager.accentSecondary, ThemeManager.accent, ThemeManager.good]
        intensity: 0.3
        blur: 70
        useShader: true
    }

    Column {
        // The stack sits in the middle of the fixed sheet, not at its top.
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        anchors.margins: 28
        spacing: 22

        Item {
            width: parent.width
            height: titleBlock.height
            Column {
                id: titleBlock
                spacing: 2
                Text {
                    text: "TEST DISPLAY"
                    textFormat: Text.PlainText
                    font.family: "Quicksand"; font.pixelSize: 10; font.weight: Font.Black; font.letterSpacing: 2.5
                    color: Qt.rgba(1, 1, 1, 0.6)
                }
                Text {
                    objectName: "displayName"
                    text: pixelTest.display.name || ""
                    textFormat: Text.PlainText
                    font.family: "Quicksand"; font.pixelSize: 22; font.weight: Font.Bold
                    color: "white"
                }
                Text {
                    objectName: "displaySubtitle"
                    text: Fmt.whole(pixelTest.display.resolutionWidth) + " × " + Fmt.whole(pixelTest.display.resolutionHeight)
                          + " · " + (pixelTest.display.refreshHz > 0 ? Fmt.whole(pixelTest.display.refreshHz) + "Hz" : "—") + " · "
                          + Fmt.whole(pixelTest.display.bitsPerColor) + "-bit · " + (pixelTest.display.colorSpaceName || "")
                    textFormat: Text.PlainText
                    font.family: "Inter"; font.pixelSize: 12
                    color: pixelTest.dimWhite
                }
            }
            HapticButton {
                objectName: "closeButton"
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                symbol: "xmark"
                color: ThemeManager.critical
                compact: true
                onClicked: {
                    Haptics.perform(Haptics.Generic)
                    pixelTest.closeFullscreen()
                    pixelTest.dismiss()
                }
            }
        }

        Row {
            id: infoRow
            width: parent.width
            spacing: 12
            Repeater {
                model: [
                    { label: "Conexiune", value: pixelTest.display.transport || "—", color: ThemeManager.accentSecondary },
                    { label: "Refresh max", value: pixelTest.display.maxRefreshHz > 0 ? Fmt.whole(pixelTest.display.maxRefreshHz) + " Hz" : "—",
                      color: ThemeManager.good },
                    { label: "HDR", value: pixelTest.display.supportsHDR ? "Da · " + Fmt.fixed(pixelTest.display.maxEDR, 1) + "×" : "Nu",
                      color: pixelTest.display.supportsHDR ? ThemeManager.warning : pixelTest.dimWhite },
                    { label: "Native", value: Fmt.whole(pixelTest.display.nativeWidth) + "×" + Fmt.whole(pixelTest.display.nativeHeight),
                      color: ThemeManager.accent }
                ]
                Rectangle {
                    required property var modelData
                    width: (infoRow.width - 3 * 12) / 4
                    height: 54
                    radius: 10
                    color: Qt.rgba(1, 1, 1, 0.05)
                    border.width: 1
                    border.color: Qt.rgba(1, 1, 1, 0.1)
                    Column {
                        x: 10
                        anchors.verticalCenter: parent.verticalCenter
                        spacing: 2
                        Text {
                            text: modelData.label.toUpperCase()
                            textFormat: Text.PlainText
                            font.family: "Quicksand"; font.pixelSize: 9; font.weight: Font.Black; font.letterSpacing: 1.5
                            color: pixelTest.dimWhite
                        }
                        Text {
                            objectName: "infoValue"
                            text: modelData.value
                            textFormat: Text.PlainText
                            font.family: "DejaVu Sans Mono"; font.pixelSize: 13; font.weight: Font.Bold
                            color: modelData.color
                        }
                    }
                }
            }
        }

        Rectangle {
            id: preview
            objectName: "preview"
            width: parent.width
            height: 220
            radius: 16
            clip: true
            color: pixelTest.colors[pixelTest.step].color
            Behavior on color { ColorAnimation { duration: 200; easing.type: Easing.InOutQuad } }
            gradient: pixelTest.colors[pixelTest.step].name === "Gradient HDR" ? hdrGradient : null
            Gradient {
                id: hdrGradient
                orientation: Gradient.Horizontal
                GradientStop { position: 0; color: "black" }
                GradientStop { position: 1; color: "white" }
            }
            MouseArea {
                anchors.fill: parent
                onClicked: pixelTest.advancePreview()
            }
            Column {
                anchors.horizontalCenter: parent.horizontalCenter
                anchors.bottom: parent.bottom
                anchors.bottomMargin: 14
                spacing: 4
                Rectangle {
                    anchors.horizontalCenter: parent.horizontalCenter
                    width: previewName.implicitWidth + 28
                    height: previewName.implicitHeight + 16
                    radius: height / 2
                    color: Qt.rgba(0, 0, 0, 0.5)
                    Text {
                        id: previewName
                        objectName: "previewName"
                        anchors.centerIn: parent
                        text: pixelTest.colors[pixelTest.step].name.toUpperCase()
                        textFormat: Text.PlainText
                        font.family: "Quicksand"; font.pixelSize: 12; font.weight: Font.Black; font.letterSpacing: 2
                        color: "white"
                    }
                }
                Text {
                    objectName: "previewHint"
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: (pixelTest.step + 1) + " / " + pixelTest.colors.length + " · click pe ecran pentru următoarea culoare"
                    textFormat: Text.PlainText
                    font.family: "Inter"; font.pixelSize: 12
                    color: Qt.rgba(1, 1, 1, 0.8)
                    style: Text.Outline
                    styleColor: Qt.rgba(0, 0, 0, 0.35)
                }
            }
        }

        Item {
            width: parent.width
            height: fullButton.height
            Row {
                spacing: 10
                anchors.verticalCenter: parent.verticalCenter
                HapticButton {
                    objectName: "backButton"
                    text: "Înapoi"
                    symbol: "chevron.left"
                    color: ThemeManager.accent
                    compact: true
                    onClicked: pixelTest.back()
                }
                HapticButton {
                    objectName: "forwardButton"
                    text: "Următor"
                    symbol: "chevron.right"
                    color: ThemeManager.accent
                    compact: true
                    onClicked: pixelTest.next()
                }
            }
            HapticButton {
                id: fullButton
                objectName: "fullscreenButton"
                anchors.right: parent.right
                text: "Fullscreen pe acest display"
                symbol: "rectangle.expand.vertical"
                color: ThemeManager.accentSecondary
                onClicked: pixelTest.openFullscreen()
            }
        }
    }
}
