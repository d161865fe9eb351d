import QtQuick
import QtQuick.Window
import Corvane

// The aurora drawn by a fragment shader at up to 30 frames a second. It draws only while
// its window is showing and the owner has not paused it. Under the software scene graph,
// or when the shader cannot be loaded, it stays empty and the layers around it make a
// static background.
Item {
    id: root

    property bool paused: false
    // Strength of the aurora over the dark base (0.55: the designed look) and whether the
    // stars and grain are drawn.
    property real intensity: 0.55
    property bool particles: true

    readonly property bool hardwareScene: GraphicsInfo.api !== GraphicsInfo.Software
                                          && GraphicsInfo.api !== GraphicsInfo.Unknown
    property bool pipelineFailed: false
    readonly property bool shaderReady: hardwareScene && !pipelineFailed
                                        && shaderLoader.item !== null
                                        && shaderLoader.item.status === ShaderEffect.Compiled
    readonly property bool windowShowing: Window.window !== null
                                          && Window.visibility !== Window.Hidden
                                          && Window.visibility !== Window.Minimized
    readonly property bool animating: clock.running
    readonly property int frames: clock.frames
    // Seconds of animation so far; other layers follow it to draw in the same frames.
    readonly property real time: clock.time

    function reportPipelineFailure(log) {
        if (pipelineFailed)
            return;
        pipelineFailed = true;
        console.warn("AuroraRenderer: pipeline failed, falling back to static bg: " + log);
    }

    FrameClock {
        id: clock
        fps: 30
        running: root.shaderReady && root.windowShowing && root.visible && !root.paused
    }

    Loader {
        id: shaderLoader
        anchors.fill: parent
        active: root.hardwareScene
        sourceComponent: ShaderEffect {
            objectName: "auroraShader"
            // Device pixels per point; without a window the shader assumes a Retina-like 2.
            property real pixelScale: root.Window.window ? root.Screen.devicePixelRatio : 2.0
            property real time: clock.time
            property size sizePx: Qt.size(width * pixelScale, height * pixelScale)
            property real intensity: root.intensity
            property real particles: root.particles ? 1.0 : 0.0
            visible: !root.pipelineFailed
            blending: false
            fragmentShader: "qrc:/shaders/aurora.frag.qsb"
            function failureText() {
                // The scene graph leaves the log empty when the file itself cannot be read.
                return log.length > 0 ? log : "cannot load the shader " + fragmentShader;
            }
            onStatusChanged: if (status === ShaderEffect.Error) root.reportPipelineFailure(failureText())
            Component.onCompleted: if (status === ShaderEffect.Error) root.reportPipelineFailure(failureText())
        }
    }
}
