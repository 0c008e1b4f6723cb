import QtQuick 2.12

// A button of the settings page: a transparent box with a 2 px frame around a
// white label, both drawn through the frame gradient.
Item {
    id: framedButton

    property alias text: label.text
    property alias font: label.font

    signal clicked()

    GradientFrame {
        anchors.fill: parent
        borderWidth: 2
    }

    GradientText {
        id: label

        anchors.fill: parent
    }

    MouseArea {
        anchors.fill: parent
        cursorShape: Qt.PointingHandCursor
        onClicked: framedButton.clicked()
    }
}
