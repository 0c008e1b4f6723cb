import QtQuick 2.12

// One entry of a priority row's tile list: the tile, centred at the entry's
// size, and a mouse area over it that drags it. While the drag is active the
// tile lives in dragParent (the main window's content area), so that it
// travels over every row unclipped; when the drag ends it is dropped at its
// centre and comes back. The roles of the entry's row are read from the view
// that created the entry.
Item {
    id: dragItem

    property var appModel: null
    property int visualIndex: -1
    // Where the tile travels while dragged; the window's content area.
    property Item dragParent: mainScreenContainer

    readonly property alias tile: tile
    readonly property bool dragActive: tile.Drag.active

    // Drops the tile where it is; nothing happens unless a drag is active.
    function dropTile() {
        if (tile.Drag.active)
            tile.Drag.drop()
    }

    implicitWidth: 150
    implicitHeight: 100

    // A tile whose row goes away during a drag still ends its drag.
    Component.onDestruction: dragItem.dropTile()

    AppIconSmall {
        id: tile

        objectName: "tile"
        width: dragItem.width
        height: dragItem.height
        anchors.horizontalCenter: dragItem.horizontalCenter
        anchors.verticalCenter: dragItem.verticalCenter
        appModel: dragItem.appModel
        visualIndex: dragItem.visualIndex
        appId: model.appId
        type: model.type
        pin: model.pin
        priority: model.priority
        appName: model.appName
        appIcon: model.appIcon
        uploadSpeed: model.uploadSpeed
        downloadSpeed: model.downloadSpeed
        Drag.source: tile

        states: State {
            name: "dragged"
            when: tile.Drag.active

            ParentChange {
                target: tile
                parent: dragItem.dragParent ? dragItem.dragParent : dragItem
            }
            AnchorChanges {
                target: tile
                anchors.horizontalCenter: undefined
                anchors.verticalCenter: undefined
            }
        }
    }

    MouseArea {
        id: dragArea

        objectName: "dragArea"
        anchors.fill: parent
        drag.target: tile
        // Clicks go on to the pin button beneath.
        propagateComposedEvents: true

        // The tile's drag runs exactly while this area drags it. It ends with
        // a drop, whether the button was released or the area lost the mouse
        // because its entry is going away.
        drag.onActiveChanged: {
            if (dragArea.drag.active)
                tile.Drag.active = true
            else
                dragItem.dropTile()
        }
        onClicked: mouse.accepted = false
    }
}
