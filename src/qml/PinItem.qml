import QtQuick 2.12

// The pin button: a gold pin while pinned, a white one otherwise, scaled to the
// item. It only reports the click; the owner writes the opposite pin into the
// model and the new state comes back through the pin role.
Item {
    id: pinItem

    property bool pinned: false

    signal clicked()

    implicitWidth: 25
    implicitHeight: 25

    Image {
        id: image

        objectName: "image"
        anchors.fill: parent
        source: pinItem.pinned ? "qrc:/res/pin_on.png" : "qrc:/res/pin_off.png"
        sourceSize.width: 50
        sourceSize.height: 50
        smooth: true
        mipmap: true
    }

    MouseArea {
        anchors.fill: parent
        onClicked: pinItem.clicked()
    }
}
