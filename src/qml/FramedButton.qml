import QtQuick 2.12
import QtGraphicalEffects 1.12

// A button of the settings page: a transparent box with a 2 px frame around a
// white label, both drawn through the frame gradient.
Item {
    id: framedButton

    property alias text: label.text
    property alias font: label.font

    signal clicked()

    // Only the shape: the gradient below paints it.
    Rectangle {
        id: shape

        anchors.fill: parent
        visible: false
        color: "transparent"
        border.width: 2
        border.color: Theme.textAlt

        Text {
            id: label

            anchors.centerIn: parent
            color: Theme.label
        }
    }

    LinearGradient {
        anchors.fill: parent
        source: shape
        start: Qt.point(0, 0)
        end: Qt.point(0, height)
        gradient: Theme.frameGradient
    }

    MouseArea {
        anchors.fill: parent
        cursorShape: Qt.PointingHandCursor
        onClicked: framedButton.clicked()
    }
}
