import QtQuick 2.12
import org.netvane.data 1.0

// One priority level of the grid: a title with a help icon, and a strip of
// tiles of the applications at that level, sorted as the grid says, pinned
// ones first. The whole row takes tiles dropped on it and gives them its
// level. Five placeholder tiles stand behind the tiles; a sixth application
// makes the strip scroll, with arrows at both ends.
DropArea {
    id: priorityRow

    property int priority: 0
    property string priorityText
    property string popupText
    property int sortColumn: OverviewModel.AppNameRole
    property int sortOrder: Qt.AscendingOrder
    // The main window, whose setting says whether system applications show.
    property QtObject mainWindow: rootWindow
    property bool showSystemApps: priorityRow.mainWindow.showSystemApps
    // Where the help popup goes while it shows: the main window's top layer.
    property Item popupLayer: topItem

    property real appListWidth: 0.96 * priorityRow.width
    property real appListSpacing: 10
    property real appListElementWidth: 0.2 * priorityRow.appListWidth - 0.8 * priorityRow.appListSpacing

    // How many tiles fit in the strip: a fraction between 5 and 6.
    readonly property real capacity: priorityRow.appListWidth / priorityRow.appListElementWidth
    readonly property real tileHeight: 0.8 * priorityRow.height
    // The applications of this row (after both filters).
    readonly property int count: levelFilter.count
    readonly property bool _streamControl: appController.streamControlEnabled
    readonly property bool _overflowing: priorityRow._streamControl && priorityRow.count > priorityRow.capacity

    // Where the help popup sits: below and right of the help icon, in the
    // coordinates of the item that holds it.
    function _placeHelpPopup() {
        var corner = helpIcon.mapToItem(helpPopup.parent, helpIcon.width, helpIcon.height)
        helpPopup.x = corner.x
        helpPopup.y = corner.y
    }

    onDropped: {
        var tile = drop.source
        if (!tile || !tile.appModel || tile.visualIndex === undefined)
            return
        var element = tile.appModel.get(tile.visualIndex)
        if (element.appId === undefined)
            return
        appController.overviewModel().set(Number(element.appId), Number(element.type),
                                          element.pin === "true", priorityRow.priority)
    }

    // Ordinary applications only, unless system applications are shown.
    SortFilterProxyModel {
        id: classFilter

        source: appController.overviewModel()
        filterRoleInt: OverviewModel.AppProcessClassRole
        filterString: priorityRow.showSystemApps ? ".*" : "0"
        filterSyntax: SortFilterProxyModel.RegExp
    }

    // This row's level, sorted.
    SortFilterProxyModel {
        id: levelFilter

        source: classFilter
        filterRoleInt: OverviewModel.PriorityRole
        filterString: "^" + priorityRow.priority + "$"
        filterSyntax: SortFilterProxyModel.RegExp
        sortRoleInt: priorityRow.sortColumn
        sortOrder: priorityRow.sortOrder
    }

    Column {
        anchors.fill: parent
        spacing: 2

        Item {
            id: titleLine

            width: parent.width
            height: title.height

            Text {
                id: title

                objectName: "title"
                x: 0.02 * priorityRow.width
                text: priorityRow.priorityText
                color: Theme.text
                font.pixelSize: Theme.textSmall
            }

            Image {
                id: helpIcon

                objectName: "helpIcon"
                anchors.left: title.right
                anchors.leftMargin: 5
                anchors.verticalCenter: title.verticalCenter
                height: 0.9 * title.height
                width: height
                opacity: 0.4
                source: "qrc:/res/help.png"
                sourceSize.width: 50
                sourceSize.height: 50
                smooth: true
                mipmap: true

                MouseArea {
                    objectName: "helpArea"
                    anchors.fill: parent
                    hoverEnabled: true
                    onEntered: helpPopup.showAfterDelay = true
                    onExited: {
                        helpPopup.visible = false
                        helpPopup.showAfterDelay = false
                    }
                }
            }
        }

        Row {
            id: strip

            width: parent.width
            height: parent.height - titleLine.height - parent.spacing
            spacing: 5

            Item {
                id: leftMargin

                width: 0.02 * priorityRow.width - 5
                height: strip.height
                z: 1

                Image {
                    objectName: "leftArrow"
                    anchors.centerIn: parent
                    visible: priorityRow._overflowing
                    source: "qrc:/res/arrow_left.png"
                }

                MouseArea {
                    objectName: "leftArrowArea"
                    anchors.fill: parent
                    enabled: priorityRow._overflowing
                    onClicked: {
                        if (!tileList.atXBeginning)
                            tileList.flick(1000, 0)
                    }
                }
            }

            Item {
                id: tileArea

                width: priorityRow.appListWidth
                height: strip.height

                ListView {
                    id: placeholderList

                    objectName: "placeholderList"
                    anchors.verticalCenter: parent.verticalCenter
                    width: parent.width
                    height: priorityRow.tileHeight
                    orientation: ListView.Horizontal
                    spacing: priorityRow.appListSpacing
                    interactive: false
                    visible: !priorityRow._streamControl || priorityRow.count < priorityRow.capacity
                    model: Math.floor(priorityRow.capacity)

                    delegate: Rectangle {
                        objectName: "placeholder"
                        width: priorityRow.appListElementWidth
                        height: priorityRow.tileHeight
                        opacity: 0.8
                        color: Theme.navy
                        border.width: 3
                        border.color: Theme.textAlt

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
                }

                ListView {
                    id: tileList

                    objectName: "tileList"
                    anchors.verticalCenter: parent.verticalCenter
                    width: parent.width
                    height: priorityRow.tileHeight
                    orientation: ListView.Horizontal
                    flickableDirection: Flickable.HorizontalFlick
                    spacing: 10
                    clip: true
                    maximumFlickVelocity: 1000
                    snapMode: ListView.SnapToItem
                    cacheBuffer: 1000
                    displayMarginEnd: 500
                    interactive: priorityRow.count > priorityRow.capacity
                    visible: priorityRow._streamControl
                    model: levelFilter

                    delegate: DragItem {
                        objectName: "dragItem"
                        width: priorityRow.appListElementWidth
                        height: priorityRow.tileHeight
                        appModel: levelFilter
                        visualIndex: index
                    }
                }
            }

            Item {
                id: rightMargin

                width: 0.02 * priorityRow.width - 5
                height: strip.height
                z: 1

                Image {
                    objectName: "rightArrow"
                    anchors.centerIn: parent
                    visible: priorityRow._overflowing
                    source: "qrc:/res/arrow_right.png"
                }

                MouseArea {
                    objectName: "rightArrowArea"
                    anchors.fill: parent
                    enabled: priorityRow._overflowing
                    onClicked: {
                        if (!tileList.atXEnd)
                            tileList.flick(-1000, 0)
                    }
                }
            }
        }
    }

    // The help popup; it waits in the row and moves to the popup layer while
    // it shows.
    PopupWindow {
        id: helpPopup

        objectName: "helpPopup"
        isCloseButtonNeeded: false
        popupAppearDelay: Theme.popupAppearDelay
        visible: false
        z: 1
        width: heading.width + 50
        height: heading.height + helpText.height + 20

        onVisibleChanged: {
            var home = visible && priorityRow.popupLayer ? priorityRow.popupLayer : priorityRow
            if (parent !== home)
                parent = home
            if (visible)
                priorityRow._placeHelpPopup()
        }

        Text {
            id: heading

            anchors.horizontalCenter: parent.horizontalCenter
            anchors.top: parent.top
            anchors.topMargin: 5
            text: priorityRow.priorityText
            color: Theme.textAlt
            font.pointSize: Theme.pointLarge
            horizontalAlignment: Text.AlignHCenter
        }

        Text {
            id: helpText

            objectName: "helpText"
            anchors.left: parent.left
            anchors.leftMargin: 10
            anchors.right: parent.right
            anchors.rightMargin: 10
            anchors.top: heading.bottom
            anchors.topMargin: 5
            text: priorityRow.popupText
            color: Theme.textAlt
            font.pointSize: Theme.pointNormal
            wrapMode: Text.WordWrap
        }
    }
}
