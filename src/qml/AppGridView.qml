import QtQuick 2.12
import org.netvane.data 1.0

// The grid: the four priority rows, critical at the top. It sorts as the
// header says: by the sort window's stored choice from the moment it is
// built (also when it is built anew after the list), then by every choice.
Column {
    id: appGridView

    // The header, whose sortColumn and sortOrder the grid follows.
    property QtObject sortSource: header
    property int sortColumn: appGridView.sortSource.sortColumn
    property int sortOrder: appGridView.sortSource.sortOrder

    readonly property real _rowHeight: appGridView.height / 4 - 2

    spacing: 5
    // Hidden, the view is fully transparent.
    opacity: appGridView.visible ? 1 : 0

    PriorityRow {
        objectName: "criticalRow"
        width: appGridView.width
        height: appGridView._rowHeight
        priority: 1
        priorityText: qsTr("CRITICAL PRIORITY APPS")
        popupText: qsTr("Choosing the CRITICAL PRIORITY level prioritizes the use of maximum bandwidth usage, lowers latency, and provides for smoother gameplay.")
        sortColumn: appGridView.sortColumn
        sortOrder: appGridView.sortOrder
    }

    PriorityRow {
        objectName: "highRow"
        width: appGridView.width
        height: appGridView._rowHeight
        priority: 2
        priorityText: qsTr("HIGH PRIORITY APPS")
        popupText: qsTr("Choosing the HIGH PRIORITY level ensures high-bandwidth usage, and provides for optimal web-surfing and video streaming.")
        sortColumn: appGridView.sortColumn
        sortOrder: appGridView.sortOrder
    }

    PriorityRow {
        objectName: "normalRow"
        width: appGridView.width
        height: appGridView._rowHeight
        priority: 3
        priorityText: qsTr("NORMAL PRIORITY APPS")
        popupText: qsTr("Choosing the NORMAL PRIORITY level provides moderate bandwidth usage for use with social media applications.")
        sortColumn: appGridView.sortColumn
        sortOrder: appGridView.sortOrder
    }

    PriorityRow {
        objectName: "lowRow"
        width: appGridView.width
        height: appGridView._rowHeight
        priority: 4
        priorityText: qsTr("LOW PRIORITY APPS")
        popupText: qsTr("Choosing the LOW PRIORITY level selects the lowest bandwidth usage for performing tasks like file sharing and updating software.")
        sortColumn: appGridView.sortColumn
        sortOrder: appGridView.sortOrder
    }
}
