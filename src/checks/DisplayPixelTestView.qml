import QtQuick
import QtQuick.Window
import Corvane

// The pixel test of one display: its identity and four facts, a preview of the test colour,
// and a borderless full-screen window on that very display.
Item {
    id: screen
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
    // The screen showing the display's output; the primary one when none matches.
    function targetScreen() {
        const screens = Qt.application.screens
        if (screens.length === 0)
            return null
        const names = []
        for (let i = 0; i < screens.length; ++i)
            names.push(screens[i].name)
        const index = CheckRules.screenIndexFor(names, screen.display.screenName || "")
        return screens[index >= 0 ? index : 0]
    }
    function openFullscreen() {
        Haptics.perform(Haptics.LevelChange)
        closeFullscreen()
        const target = targetScreen()
        if (!target)
            return
        // Handed over here: inside the window, "screen" is the window's own screen.
        fullscreenWindow = fullscreenComponent.createObject(null, {
            screen: target, x: target.virtualX, y: target.virtualY, width: target.width, height: target.height,
            colors: screen.colors
        })
        fullscreenWindow.showFullScreen()
        fullscreenWindow.raise()
        fullscreenWindow.requestActivate()
    }

    // No window outlives its sheet.
    Component.onDestruction: closeFullscreen()

    Component {
        id: fullscreenComponent
        Window {
            id: win
            objectName: "pixelFullscreenWindow"
            flags: Qt.Window | Qt.FramelessWindowHint | Qt.WindowStaysOnTopHint
            color: "black"
            property var colors: []
            property int step: 0
            function closeWindow() {
                win.close()
                win.destroy()
            }
            DisplayPixelTestFullscreen {
                anchors.fill: parent
                colors: win.colors
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
        anchors.fill: parent
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
                    text: screen.display.name || ""
                    textFormat: Text.PlainText
                    font.family: "Quicksand"; font.pixelSize: 22; font.weight: Font.Bold
                    color: "white"
                }
                Text {
                    objectName: "displaySubtitle"
                    text: CheckRules.whole(screen.display.resolutionWidth) + " × " + CheckRules.whole(screen.display.resolutionHeight)
                          + " · " + CheckRules.whole(screen.display.refreshHz) + "Hz · "
                          + CheckRules.whole(screen.display.bitsPerColor) + "-bit · " + (screen.display.colorSpaceName || "")
                    textFormat: Text.PlainText
                    font.family: "Inter"; font.pixelSize: 12
                    color: screen.dimWhite
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
                    screen.closeFullscreen()
                    screen.dismiss()
                }
            }
        }

        Row {
            id: infoRow
            width: parent.width
            spacing: 12
            Repeater {
                model: [
                    { label: "Conexiune", value: screen.display.transport || "—", color: ThemeManager.accentSecondary },
                    { label: "Refresh max", value: CheckRules.whole(screen.display.maxRefreshHz) + " Hz", color: ThemeManager.good },
                    { label: "HDR", value: screen.display.supportsHDR ? "Da · " + Fmt.fixed(screen.display.maxEDR, 1) + "×" : "Nu",
                      color: screen.display.supportsHDR ? ThemeManager.warning : screen.dimWhite },
                    { label: "Native", value: CheckRules.whole(screen.display.nativeWidth) + "×" + CheckRules.whole(screen.display.nativeHeight),
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
                            color: screen.dimWhite
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
            color: screen.colors[screen.step].color
            Behavior on color { ColorAnimation { duration: 200; easing.type: Easing.InOutQuad } }
            gradient: screen.colors[screen.step].name === "Gradient HDR" ? hdrGradient : null
            Gradient {
                id: hdrGradient
                orientation: Gradient.Horizontal
                GradientStop { position: 0; color: "black" }
                GradientStop { position: 1; color: "white" }
            }
            MouseArea {
                anchors.fill: parent
                onClicked: screen.advancePreview()
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
                        text: screen.colors[screen.step].name.toUpperCase()
                        textFormat: Text.PlainText
                        font.family: "Quicksand"; font.pixelSize: 12; font.weight: Font.Black; font.letterSpacing: 2
                        color: "white"
                    }
                }
                Text {
                    objectName: "previewHint"
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: (screen.step + 1) + " / " + screen.colors.length + " · click pe ecran pentru următoarea culoare"
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
                    onClicked: {
                        Haptics.perform(Haptics.Alignment)
                        screen.step = Math.max(screen.step - 1, 0)
                    }
                }
                HapticButton {
                    objectName: "forwardButton"
                    text: "Următor"
                    symbol: "chevron.right"
                    color: ThemeManager.accent
                    compact: true
                    onClicked: {
                        Haptics.perform(Haptics.Alignment)
                        screen.advancePreview()
                    }
                }
            }
            HapticButton {
                id: fullButton
                objectName: "fullscreenButton"
                anchors.right: parent.right
                text: "Fullscreen pe acest display"
                symbol: "rectangle.expand.vertical"
                color: ThemeManager.accentSecondary
                onClicked: screen.openFullscreen()
            }
        }
    }
}
