import QtQuick 2.12
import QtQuick.Window 2.12

// Deliberately broken: an unknown type and an unclosed block.
Window {
    visible: true
    NoSuchItem {
        width: 
