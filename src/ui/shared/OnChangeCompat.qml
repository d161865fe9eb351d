import QtQml

// Runs changed(newValue) after each change of `value`; never for the value it starts with,
// and not when an equal value is assigned again.
QtObject {
    id: observer

    property var value
    signal changed(var newValue)

    property var _last
    property bool _primed: false

    function _same(a, b) {
        if (a === b)
            return true
        // Sizes and points arrive as value objects: compare them by their fields.
        if (a !== null && b !== null && typeof a === "object" && typeof b === "object") {
            for (const key of ["width", "height", "x", "y"])
                if (a[key] !== b[key])
                    return false
            return a.width !== undefined || a.x !== undefined
        }
        return false
    }

    onValueChanged: {
        if (!_primed || _same(value, _last))
            return
        _last = value
        changed(value)
    }
    Component.onCompleted: {
        _last = value
        _primed = true
    }
}
