import QtQuick
import Corvane

// A number whose text follows `value` through every intermediate value, so a caller that
// animates the value (a Behavior or an animation) sees it count.
Text {
    property real value: 0
    property var format: (v) => Fmt.fixed(v, 0)

    text: typeof format === "function" ? format(value) : ""
    textFormat: Text.PlainText
}
