import QtQuick 2.12

// A modal popup over the whole of its parent: a dimmer that swallows every
// click and hover, a frame panel drawn around the content item, and Escape
// as a second way to ask for closing. The owner hides the popup on
// closePopup(); the popup never hides itself.
//
// The content item is declared as a child and named in windowlessItem; it
// binds its own visibility to the popup's.
FocusScope {
    id: customPopup

    property alias windowWidth: frame.width
    property alias windowHeidth: frame.height
    property alias isCloseButtonNeeded: frame.isCloseButtonNeeded
    property Item windowlessItem: null

    signal closePopup()

    z: 2

    // Keys the content does not take end here: Escape closes, but only a
    // popup that offers a close button.
    Keys.onPressed: {
        if (event.key === Qt.Key_Escape && customPopup.visible && customPopup.isCloseButtonNeeded) {
            event.accepted = true
            customPopup.closePopup()
        }
    }

    Rectangle {
        id: dimmer

        objectName: "dimmer"
        anchors.fill: parent
        color: Theme.dimmer
        opacity: 0.4
        radius: 10

        MouseArea {
            anchors.fill: parent
            hoverEnabled: true
            acceptedButtons: Qt.AllButtons
            onWheel: wheel.accepted = true
        }
    }

    PopupWindow {
        id: frame

        objectName: "frame"
        anchors.fill: customPopup.windowlessItem
        anchors.centerIn: customPopup.windowlessItem ? undefined : customPopup
        onClosePopup: customPopup.closePopup()
    }
}
