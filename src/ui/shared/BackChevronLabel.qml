import QtQuick

// The back buttons' label.
ChevronLabel {
    title: "Înapoi"
    direction: "left"
}
