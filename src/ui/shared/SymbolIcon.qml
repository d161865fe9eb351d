import QtQuick
import Corvane

// A symbol from the icon table, sized in points like text.
Text {
    id: icon
    property string symbol
    property real pointSize: 14
    property bool bold: false

    text: Symbols.glyph(symbol)
    font.family: Symbols.fontFamily
    font.pixelSize: pointSize
    font.bold: bold
    textFormat: Text.PlainText
    horizontalAlignment: Text.AlignHCenter
    verticalAlignment: Text.AlignVCenter
}
