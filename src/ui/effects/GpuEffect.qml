import QtQuick

// Stands in for a graphical effect and makes the real one only under a hardware scene graph.
// The effect's own file is loaded by URL: importing the effects plugin maps the shader
// compiler and an OpenGL stack, which the software renderer must never pay for.
Item {
    id: host

    // Set by each kind: the file that draws it and the properties handed through.
    property url effectSource
    property var forwarded: []

    readonly property bool gpu: GraphicsInfo.api !== GraphicsInfo.Software
                                && GraphicsInfo.api !== GraphicsInfo.Unknown
    readonly property alias effect: loader.item

    Loader {
        id: loader
        anchors.fill: parent
        active: host.gpu
        source: active ? host.effectSource : ""
        onLoaded: {
            // Only what the user set goes through, so the effect keeps its own defaults.
            for (const name of host.forwarded) {
                if (host[name] !== undefined)
                    item[name] = Qt.binding(() => host[name])
            }
        }
    }
}
