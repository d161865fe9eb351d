import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Templates as T
import Corvane

// The modal sheet that shows one quick test over the window. It opens while `kind` names a
// test (also when `kind` was set before this item had a window or was shown) and closes and
// clears `kind` when the test screen dismisses itself. Each opening builds a fresh screen.
Item {
    id: sheet

    // A QuickTestKind raw value, "" for no sheet.
    property string kind: ""
    readonly property bool isOpen: popup.opened
    readonly property var hostWindow: Window.window
    readonly property bool shown: visible

    function sync() {
        if (kind !== "" && hostWindow && shown && !popup.visible)
            popup.open()
        else if (kind === "" && popup.visible)
            popup.close()
    }
    function dismiss() { kind = "" }

    onKindChanged: sync()
    onHostWindowChanged: sync()
    onShownChanged: sync()
    Component.onCompleted: sync()

    Popup {
        id: popup
        objectName: "quickTestPopup"
        modal: true
        focus: true
        closePolicy: Popup.CloseOnEscape
        padding: 0
        anchors.centerIn: T.Overlay.overlay
        background: Item {}
        T.Overlay.modal: Rectangle { color: Qt.rgba(0, 0, 0, 0.5) }
        // Closed by Escape: the same as the screen's own close.
        onClosed: sheet.dismiss()

        contentItem: Loader {
            id: panelLoader
            active: sheet.kind !== ""
            sourceComponent: QuickTestPanel {
                objectName: "quickTestPanel"
                kind: sheet.kind
                clip: true
                onDismissed: sheet.dismiss()
            }
        }
    }
}
