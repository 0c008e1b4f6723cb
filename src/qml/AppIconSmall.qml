import QtQuick 2.12
import org.netvane.scenes 1.0
import "AppNames.js" as AppNames

// An application's tile in a priority row: icon, name, pin and the two speed
// bars inside a frame painted in the frame gradient. The roles of the row it
// shows come from the view that created it; appModel and visualIndex say
// where that row is, for the drop on another priority row.
Item {
    id: appIconSmall

    property var appModel: null
    property int visualIndex: -1

    // The roles of the tile's row.
    property double appId: 0
    property int type: 0
    property bool pin: false
    property int priority: 0
    property string appName
    property url appIcon
    property real uploadSpeed: 0
    property real downloadSpeed: 0

    readonly property string displayedName: AppNames.displayed(appIconSmall.appName)

    implicitWidth: 150
    implicitHeight: 100
    Drag.hotSpot.x: width / 2
    Drag.hotSpot.y: height / 2

    // The 3 px frame: the gradient shows around the navy inside.
    Rectangle {
        anchors.fill: parent
        gradient: Theme.frameGradient
    }

    Rectangle {
        anchors.fill: parent
        anchors.margins: 3
        color: Theme.navy
    }

    Rectangle {
        id: iconBox

        objectName: "iconBox"
        anchors.left: parent.left
        anchors.leftMargin: 10
        anchors.top: parent.top
        anchors.topMargin: 5
        anchors.bottom: uploadBar.top
        anchors.bottomMargin: 5
        width: 50
        color: "transparent"
        border.width: 1
        border.color: Theme.text

        Image {
            objectName: "icon"
            anchors.fill: parent
            anchors.margins: 1
            source: appIconSmall.appIcon
            smooth: true
            mipmap: true
        }
    }

    Text {
        id: nameText

        objectName: "displayedName"
        anchors.left: iconBox.right
        anchors.leftMargin: 5
        anchors.right: parent.right
        anchors.rightMargin: 5
        anchors.top: iconBox.top
        text: appIconSmall.displayedName
        color: Theme.text
        font.pointSize: Theme.pointNormal
        elide: Text.ElideRight
    }

    Item {
        id: pinRow

        anchors.left: iconBox.right
        anchors.leftMargin: 5
        anchors.right: parent.right
        anchors.rightMargin: 5
        anchors.bottom: uploadBar.top
        anchors.bottomMargin: 5
        height: iconBox.height / 2

        PinItem {
            objectName: "pinButton"
            anchors.left: parent.left
            anchors.bottom: parent.bottom
            width: Math.min(pinRow.width / 4, pinRow.height)
            height: width
            pinned: appIconSmall.pin
            onClicked: appController.overviewModel().set(appIconSmall.appId, appIconSmall.type,
                                                         !appIconSmall.pin, appIconSmall.priority)
        }
    }

    AppSpeedBar {
        id: uploadBar

        objectName: "uploadBar"
        anchors.left: parent.left
        anchors.leftMargin: appIconSmall.height / 10
        anchors.right: parent.right
        anchors.rightMargin: appIconSmall.height / 10
        anchors.bottom: downloadBar.top
        anchors.bottomMargin: 5
        height: appIconSmall.height / 8
        valueTextSize: Theme.textTile
        kbps: appIconSmall.uploadSpeed
        limitKbps: appController.uploadSpeedLimit
        direction: SpeedUnits.Upload
        view: SpeedUnits.GridView
    }

    AppSpeedBar {
        id: downloadBar

        objectName: "downloadBar"
        anchors.left: parent.left
        anchors.leftMargin: 10
        anchors.right: parent.right
        anchors.rightMargin: 10
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 10
        height: appIconSmall.height / 8
        valueTextSize: Theme.textTile
        kbps: appIconSmall.downloadSpeed
        limitKbps: appController.downloadSpeedLimit
        direction: SpeedUnits.Download
        view: SpeedUnits.GridView
    }

    Image {
        anchors.right: parent.right
        anchors.rightMargin: 5
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 5
        width: 10
        height: 10
        source: "qrc:/res/rearrange.png"
        sourceSize.width: 20
        sourceSize.height: 20
        smooth: true
    }
}
