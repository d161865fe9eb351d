import QtQuick
import QtQuick.Window
import Corvane

// Full-window backdrop: dark base, shader aurora, faint watermark, film grain and a
// top-and-bottom darkening. Without the shader the other layers stay as a static
// background. `strength` sets how strongly the aurora shows (0.55: the designed look) and
// `particles` its stars and the grain; the other parameters are kept for callers.
Item {
    id: root

    property var colors: AppPalette.backgroundColors
    property real intensity: 0.55
    property real blur: 80
    property bool useShader: true
    property real strength: 0.55
    property bool particles: true
    // Bound by the owner (e.g. while the window is hidden) to stop the aurora's frames.
    property bool paused: false

    Rectangle {
        anchors.fill: parent
        color: AppPalette.background
    }

    ShaderAuroraBackground {
        id: aurora
        objectName: "aurora"
        anchors.fill: parent
        paused: root.paused
        intensity: root.strength
        particles: root.particles
    }

    // Slot for the slowly turning brand watermark, at 4 % so it stays a ghost.
    Item {
        objectName: "watermarkSlot"
        anchors.centerIn: parent
        width: 520
        height: 520
        opacity: 0.04

        // The slot carries the 4 %. The spin follows the aurora's clock, so both change in
        // the same frames (the frame cap holds) and both stop together; without the shader
        // the watermark stands still with the rest of the static look.
        GhostVexelWatermark {
            anchors.centerIn: parent
            externalTime: aurora.time
        }
    }

    GrainOverlay {
        objectName: "grain"
        visible: root.particles
        anchors.fill: parent
        density: 6000
        opacity: 0.14
    }

    Rectangle {
        anchors.fill: parent
        gradient: Gradient {
            GradientStop { position: 0.0; color: Qt.rgba(0, 0, 0, 0.45) }
            GradientStop { position: 0.5; color: "transparent" }
            GradientStop { position: 1.0; color: Qt.rgba(0, 0, 0, 0.35) }
        }
    }
}
