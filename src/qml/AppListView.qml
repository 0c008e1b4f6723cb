import QtQuick 2.12
import QtQuick.Controls 2.12 as C2
import Qt.labs.settings 1.0
import org.netvane.data 1.0
import org.netvane.scenes 1.0
import "AppNames.js" as AppNames

// The list: one line per application under a header of column titles. A
// click on a title sorts by its column, ascending at first and flipping on
// each further click; the choice is kept in the settings for the next start.
// Lines show only while stream control is on.
Item {
    id: appListView

    // The role the list sorts by and its order.
    property int sortIndicatorColumn: OverviewModel.AppNameRole
    property int sortIndicatorOrder: Qt.AscendingOrder
    // The main window, whose setting says whether system applications show.
    property QtObject mainWindow: rootWindow
    property bool showSystemApps: appListView.mainWindow.showSystemApps

    // The role whose title is marked selected.
    property int _selectedRole: OverviewModel.AppNameRole

    readonly property real _iconColumnWidth: 0.04 * appListView.width
    readonly property real _priorityColumnWidth: 0.1 * appListView.width
    readonly property real _nameColumnWidth: 0.25 * appListView.width
    readonly property real _uploadColumnWidth: 0.25 * appListView.width
    readonly property real _downloadColumnWidth: 0.25 * appListView.width
    readonly property real _optionsColumnWidth: 0.11 * appListView.width
    readonly property bool _streamControl: appController.streamControlEnabled

    // A click on a sortable title: the same title flips the order, another
    // one starts ascending.
    function _sortBy(role) {
        if (appListView._selectedRole === role) {
            appListView.sortIndicatorOrder = appListView.sortIndicatorOrder === Qt.AscendingOrder
                    ? Qt.DescendingOrder : Qt.AscendingOrder
        } else {
            appListView._selectedRole = role
            appListView.sortIndicatorOrder = Qt.AscendingOrder
        }
        appListView.sortIndicatorColumn = role
        listSettings.listSortedRole = role
        listSettings.listSortedOrder = appListView.sortIndicatorOrder
    }

    // Hidden, the view is fully transparent.
    opacity: appListView.visible ? 1 : 0

    Component.onCompleted: {
        var role = listSettings.listSortedRole
        switch (role) {
        case OverviewModel.DownloadSpeedRole:
        case OverviewModel.UploadSpeedRole:
        case OverviewModel.AdaptedPriorityRole:
            appListView._selectedRole = role
            break
        default:
            appListView._selectedRole = OverviewModel.AppNameRole
        }
        appListView.sortIndicatorOrder = listSettings.listSortedOrder
        appListView.sortIndicatorColumn = role
    }

    Settings {
        id: listSettings

        property int listSortedRole: OverviewModel.AppNameRole
        property int listSortedOrder: Qt.DescendingOrder
    }

    SortFilterProxyModel {
        id: listModel

        source: appController.overviewModel()
        filterRoleInt: OverviewModel.AppProcessClassRole
        filterString: appListView.showSystemApps ? ".*" : "0"
        filterSyntax: SortFilterProxyModel.RegExp
        sortRoleInt: appListView.sortIndicatorColumn
        sortOrder: appListView.sortIndicatorOrder
    }

    Row {
        id: titles

        objectName: "titles"
        width: appListView.width
        height: 35

        Item {
            width: appListView._iconColumnWidth
            height: titles.height

            TableHeaderItem {
                objectName: "iconTitle"
                text: ""
                iconVisible: false
            }
        }

        Item {
            width: appListView._priorityColumnWidth
            height: titles.height

            TableHeaderItem {
                objectName: "priorityTitle"
                x: 20
                text: qsTr("PRIORITY")
                selected: appListView._selectedRole === OverviewModel.AdaptedPriorityRole
                sortOrder: appListView.sortIndicatorOrder
                onClicked: appListView._sortBy(OverviewModel.AdaptedPriorityRole)
            }
        }

        Item {
            width: appListView._nameColumnWidth
            height: titles.height

            TableHeaderItem {
                objectName: "nameTitle"
                text: qsTr("APPLICATION NAME")
                selected: appListView._selectedRole === OverviewModel.AppNameRole
                sortOrder: appListView.sortIndicatorOrder
                onClicked: appListView._sortBy(OverviewModel.AppNameRole)
            }
        }

        Item {
            width: appListView._uploadColumnWidth
            height: titles.height

            TableHeaderItem {
                objectName: "uploadTitle"
                text: qsTr("UPLOAD SPEED")
                selected: appListView._selectedRole === OverviewModel.UploadSpeedRole
                sortOrder: appListView.sortIndicatorOrder
                onClicked: appListView._sortBy(OverviewModel.UploadSpeedRole)
            }
        }

        Item {
            width: appListView._downloadColumnWidth
            height: titles.height

            TableHeaderItem {
                objectName: "downloadTitle"
                x: 20
                text: qsTr("DOWNLOAD SPEED")
                selected: appListView._selectedRole === OverviewModel.DownloadSpeedRole
                sortOrder: appListView.sortIndicatorOrder
                onClicked: appListView._sortBy(OverviewModel.DownloadSpeedRole)
            }
        }

        Item {
            width: appListView._optionsColumnWidth
            height: titles.height

            TableHeaderItem {
                objectName: "optionsTitle"
                x: 10
                text: qsTr("OPTIONS")
                iconVisible: false
            }
        }
    }

    Rectangle {
        id: body

        anchors.top: titles.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        color: Theme.navy

        ListView {
            id: lines

            objectName: "lines"
            anchors.fill: parent
            clip: true
            visible: appListView._streamControl
            model: listModel

            C2.ScrollBar.vertical: C2.ScrollBar {
                objectName: "scrollBar"
                parent: body
                // Outside the list's right edge, 10 px away.
                x: body.width + 10
                y: 0
                height: body.height
                visible: lines.visible
                padding: 0
                policy: C2.ScrollBar.AlwaysOn

                contentItem: Rectangle {
                    implicitWidth: 6
                    implicitHeight: 100
                    radius: width / 2
                    color: Theme.textAlt
                }
            }

            delegate: Row {
                id: line

                objectName: "line"
                width: lines.width
                height: 60

                Item {
                    width: appListView._iconColumnWidth
                    height: line.height

                    Rectangle {
                        x: 10
                        anchors.verticalCenter: parent.verticalCenter
                        width: 39
                        height: 39
                        color: "transparent"
                        border.width: 1
                        border.color: Theme.textAlt

                        Image {
                            objectName: "icon"
                            anchors.centerIn: parent
                            width: 35
                            height: 35
                            source: appIcon
                            smooth: true
                            mipmap: true
                        }
                    }
                }

                Item {
                    width: appListView._priorityColumnWidth
                    height: line.height

                    PriorityItem {
                        objectName: "priorityChoice"
                        x: 20
                        anchors.verticalCenter: parent.verticalCenter
                        implicitWidth: 100
                        comboIndex: priority - 1
                        onComboUpdated: appController.overviewModel().set(appId, type, pinButton.pinned, index + 1)
                    }
                }

                Item {
                    width: appListView._nameColumnWidth
                    height: line.height

                    Text {
                        objectName: "displayedName"
                        anchors.left: parent.left
                        anchors.right: parent.right
                        anchors.rightMargin: 5
                        anchors.verticalCenter: parent.verticalCenter
                        text: AppNames.displayed(appName)
                        color: Theme.text
                        font.pixelSize: Theme.textNormal
                        elide: Text.ElideRight
                    }
                }

                Item {
                    width: appListView._uploadColumnWidth
                    height: line.height

                    AppSpeedBar {
                        objectName: "uploadBar"
                        anchors.verticalCenter: parent.verticalCenter
                        implicitWidth: 160
                        valueTextSize: Theme.textSmall
                        kbps: uploadSpeed
                        limitKbps: appController.uploadSpeedLimit
                        direction: SpeedUnits.Upload
                        view: SpeedUnits.ListView
                    }
                }

                Item {
                    width: appListView._downloadColumnWidth
                    height: line.height

                    AppSpeedBar {
                        objectName: "downloadBar"
                        x: 20
                        anchors.verticalCenter: parent.verticalCenter
                        implicitWidth: 160
                        valueTextSize: Theme.textSmall
                        kbps: downloadSpeed
                        limitKbps: appController.downloadSpeedLimit
                        direction: SpeedUnits.Download
                        view: SpeedUnits.ListView
                    }
                }

                Item {
                    width: appListView._optionsColumnWidth
                    height: line.height

                    PinItem {
                        id: pinButton

                        objectName: "pinButton"
                        x: 10
                        anchors.verticalCenter: parent.verticalCenter
                        width: 25
                        height: 25
                        pinned: pin
                        onClicked: appController.overviewModel().set(appId, type, !pin, priority)
                    }
                }
            }
        }
    }
}
