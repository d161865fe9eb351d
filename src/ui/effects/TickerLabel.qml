import QtQuick
import Corvane

// A plain label of format(value).
Text {
    property real value: 0
    property var format: (v) => Fmt.fixed(v, 0)

    text: typeof format === "function" ? format(value) : ""
    textFormat: Text.PlainText
}
