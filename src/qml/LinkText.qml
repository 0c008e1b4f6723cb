import QtQuick 2.12

// An underlined link that serves as a dialog button: a click, or Return
// while it has the focus, emits linkCLicked(). Every other key passes on to
// the enclosing items (Escape reaches the popup, Tab the dialog's
// navigation).
Text {
    id: linkText

    signal linkCLicked()

    color: Theme.link
    font.underline: true
    wrapMode: Text.WordWrap

    Keys.onReturnPressed: linkText.linkCLicked()

    // The focus frame: 3 px wider than the text on either side.
    Rectangle {
        objectName: "focusFrame"
        anchors.fill: parent
        anchors.leftMargin: -3
        anchors.rightMargin: -3
        color: "transparent"
        opacity: 0.5
        border.width: 1
        border.color: linkText.activeFocus ? Theme.link : "transparent"
    }

    MouseArea {
        anchors.fill: parent
        cursorShape: Qt.PointingHandCursor
        onClicked: linkText.linkCLicked()
    }
}
