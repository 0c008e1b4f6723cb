import QtQuick 2.12
import org.netvane.data 1.0

// The strip between the title bar and the views: the two view tabs on the
// left, the grid's sort indicator on the right, a thin line beneath both.
// The header emits sortingChanged only when the main window tells it to
// (after the sort window reported a choice) and keeps the sort it told, so
// that a grid built later (after the list) sorts as sortText says.
Item {
    id: header

    property string sortText: ""
    // The grid's sort, as the last sortingChanged() told it.
    property int sortColumn: OverviewModel.AppNameRole
    property int sortOrder: Qt.AscendingOrder
    // The main window, whose tab the header shows and sets, and the sort
    // popup the sort indicator opens.
    property QtObject mainWindow: rootWindow
    property Item sortChooser: sortPopup

    readonly property bool _gridSelected: header.mainWindow.tabState === "appGridView"
    readonly property bool _listSelected: header.mainWindow.tabState === "appListView"
    readonly property real _inset: width * 0.07

    signal sortingChanged(int sortColumn, int sortOrder)

    onSortingChanged: function (column, order) {
        header.sortColumn = column
        header.sortOrder = order
    }

    Rectangle {
        id: bottomLine

        anchors.left: parent.left
        anchors.right: parent.right
        anchors.leftMargin: header._inset
        anchors.rightMargin: header._inset
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 10
        height: 1
        color: Theme.textAlt
    }

    Row {
        id: tabRow

        x: header._inset
        anchors.bottom: bottomLine.top
        anchors.bottomMargin: 10
        width: 90
        height: 30
        // Two 30 px buttons and the gap between them fill the 90 px row.
        spacing: 30

        HeaderTabButton {
            id: gridButton

            objectName: "gridButton"
            iconSource: "qrc:/res/grid_view.png"
            popupText: qsTr("Grid view")
            selected: header._gridSelected
            onClicked: header.mainWindow.tabState = "appGridView"
        }

        HeaderTabButton {
            id: listButton

            objectName: "listButton"
            iconSource: "qrc:/res/list_view.png"
            popupText: qsTr("List view")
            selected: header._listSelected
            onClicked: header.mainWindow.tabState = "appListView"
        }
    }

    // The grid's sort choice, text and icon in the frame gradient, shown only
    // in the grid view.
    Item {
        id: sortIndicator

        objectName: "sortIndicator"
        anchors.right: bottomLine.right
        anchors.bottom: bottomLine.top
        anchors.bottomMargin: 10
        width: sortLabel.contentWidth + sortLabel.iconSize + 10
        height: 15

        GradientText {
            id: sortLabel

            objectName: "sortLabel"
            anchors.fill: parent
            visible: header._gridSelected
            horizontalAlignment: Text.AlignLeft
            text: qsTr("SORTING BY") + ": " + header.sortText
            font.pixelSize: Theme.textSmall
            iconSource: "qrc:/res/sort.png"
            iconSize: 15
        }

        MouseArea {
            anchors.fill: parent
            enabled: header._gridSelected
            onClicked: {
                header.sortChooser.visible = true
                header.sortChooser.forceActiveFocus()
            }
        }
    }
}
