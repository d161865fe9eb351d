import QtQuick
import Corvane

// Puts `flickable` back where the screen `key` was last scrolled to, once its content is
// laid out tall enough, and remembers each later scroll. A place the content can't reach yet
// (it is still growing) is kept until it can or the user scrolls.
Item {
    id: place
    property Flickable flickable: null
    property string key: ""

    property real wanted: 0
    property bool restoring: false
    property bool applying: false

    function apply() {
        // Before the first layout the view has no height and every place looks reachable.
        if (!restoring || !flickable || flickable.height <= 0)
            return
        const top = flickable.originY
        const bottom = top + Math.max(0, flickable.contentHeight - flickable.height)
        applying = true
        flickable.contentY = Math.min(top + wanted, bottom)
        applying = false
        if (bottom >= top + wanted)
            restoring = false
    }

    // A view's own flickable (a ScrollView's) may arrive after this is complete.
    onFlickableChanged: apply()

    Connections {
        target: place.flickable
        function onContentHeightChanged() { place.apply() }
        function onHeightChanged() { place.apply() }
        function onOriginYChanged() { place.apply() }
        function onMovementStarted() { place.restoring = false }
        function onContentYChanged() {
            // Ours, or the view keeping itself in bounds while the content is still built.
            if (place.applying || (place.restoring && !place.flickable.moving) || !place.flickable.visible)
                return
            place.restoring = false
            ScreenPlaces.keep(place.key, place.flickable.contentY - place.flickable.originY)
        }
    }

    Component.onCompleted: {
        wanted = ScreenPlaces.offset(key)
        restoring = wanted > 0
        apply()
    }
}
