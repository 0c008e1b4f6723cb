import QtQuick 2.12

// A column title of the application list: the title in capitals and, while
// the column is the one the list sorts by, an arrow for the order beside it.
// A click anywhere on the title or the arrow, over the full height, emits
// clicked(); what it means is the list's business.
Item {
    id: tableHeaderItem

    property string text
    property bool selected: false
    // Whether the column shows the order arrow when selected (false for
    // columns that do not sort).
    property bool iconVisible: true
    // The list's current order, for the arrow's direction.
    property int sortOrder: Qt.AscendingOrder

    signal clicked()

    height: 35
    implicitWidth: title.implicitWidth + (arrow.visible ? arrow.width : 0)
    implicitHeight: 35

    Text {
        id: title

        objectName: "title"
        anchors.left: parent.left
        anchors.verticalCenter: parent.verticalCenter
        text: tableHeaderItem.text.toUpperCase()
        color: Theme.text
        font.pixelSize: Theme.textNormal
    }

    Image {
        id: arrow

        objectName: "sortArrow"
        anchors.left: title.right
        anchors.verticalCenter: title.verticalCenter
        width: 35
        height: 35
        visible: tableHeaderItem.selected && tableHeaderItem.iconVisible
        source: tableHeaderItem.sortOrder === Qt.AscendingOrder ? "qrc:/res/arrow_up.png" : "qrc:/res/arrow_down.png"
        sourceSize.width: 70
        sourceSize.height: 70
        smooth: true
        mipmap: true
    }

    MouseArea {
        objectName: "clickArea"
        x: 0
        width: title.width + (arrow.visible ? arrow.width : 0)
        height: parent.height
        onClicked: tableHeaderItem.clicked()
    }
}
