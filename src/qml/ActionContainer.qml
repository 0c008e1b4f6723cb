import QtQuick 2.12

// The middle of the main window: the view of the current tab. Its state
// follows the main window's tabState, and each state loads its view into the
// one loader, so a tab change destroys the old view and builds the new one.
// Any other tabState leaves the loader, and the area, empty.
Item {
    id: actionContainer

    // The main window, whose tabState the container follows.
    property QtObject mainWindow: rootWindow

    state: actionContainer.mainWindow.tabState

    states: [
        State {
            name: "appGridView"
            PropertyChanges { target: viewLoader; source: "AppGridView.qml" }
        },
        State {
            name: "appListView"
            PropertyChanges { target: viewLoader; source: "AppListView.qml" }
        }
    ]

    Loader {
        id: viewLoader

        objectName: "viewLoader"
        anchors.fill: parent
    }
}
