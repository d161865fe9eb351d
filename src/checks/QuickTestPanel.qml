import QtQuick
import Corvane

// The screen of one quick test, fresh each time a sheet opens it; the hub and the dashboard
// both show their tests through it. A screen ends the sheet through dismiss().
Item {
    id: panel
    // A quick test's kind ("ssd", "cpu", …), as the quick-test table names it.
    property string kind: ""
    signal dismissed()

    implicitWidth: loader.item ? loader.item.implicitWidth : 420
    implicitHeight: loader.item ? loader.item.implicitHeight : 160

    Loader {
        id: loader
        anchors.fill: parent
        readonly property string screen: QuickTestTable.screen(panel.kind)
        source: screen !== "" ? Qt.resolvedUrl(screen + ".qml") : ""
    }
    Connections {
        target: loader.item
        ignoreUnknownSignals: true
        function onDismiss() { panel.dismissed() }
    }
}
