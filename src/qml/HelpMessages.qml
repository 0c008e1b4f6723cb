import QtQuick 2.12

// The help overlays, at most one at a time, chosen by the state. Each lies
// over the whole main area without a close button, so only its own links end
// it (Escape does nothing). The first start runs a short course: getting
// started, "Next" opens the settings with their help over them, and "OK"
// hands the focus to the settings.
Item {
    id: helpMessages

    // What "Next" of the getting-started help makes visible.
    property Item gettingStartedNextComponent: null
    // What takes the focus back when the settings help closes.
    property Item settingsItem: null
    // The help page that ships with the program, beside the executable.
    property string helpPageUrl: applicationPath + "help/index.html"
    // Opens a page in the default browser; anything with open(url) will do.
    property QtObject pageOpener: QtObject {
        function open(url) {
            return Qt.openUrlExternally(url)
        }
    }

    function openHelpPage() {
        helpMessages.pageOpener.open(helpMessages.helpPageUrl)
    }

    function _focusSettings() {
        if (helpMessages.settingsItem)
            helpMessages.settingsItem.forceActiveFocus()
    }

    state: "helpNothingShow"
    // Above every popup of the main area.
    z: 3

    states: [
        State {
            name: "helpNothingShow"
        },
        State {
            name: "helpGettingStartedShow"
            PropertyChanges { target: gettingStartedOverlay; visible: true }
        },
        State {
            name: "helpSettingsShow"
            PropertyChanges { target: settingsOverlay; visible: true }
        },
        State {
            name: "helpGridViewShow"
            PropertyChanges { target: gridViewOverlay; visible: true }
        },
        State {
            name: "helpListViewShow"
            PropertyChanges { target: listViewOverlay; visible: true }
        }
    ]

    CustomPopup {
        id: gettingStartedOverlay

        objectName: "gettingStartedOverlay"
        anchors.fill: parent
        visible: false
        isCloseButtonNeeded: false
        windowlessItem: gettingStartedContent

        HelpGettingStarted {
            id: gettingStartedContent

            objectName: "gettingStartedContent"
            anchors.centerIn: parent
            width: 500
            height: 200
            visible: gettingStartedOverlay.visible
            onLinkNextActivated: {
                if (helpMessages.gettingStartedNextComponent)
                    helpMessages.gettingStartedNextComponent.visible = true
                helpMessages.state = "helpSettingsShow"
            }
            // The course goes on only by "Next": this overlay stays.
            onLearnMoreLinkActivated: helpMessages.openHelpPage()
        }
    }

    CustomPopup {
        id: settingsOverlay

        objectName: "settingsOverlay"
        anchors.fill: parent
        visible: false
        isCloseButtonNeeded: false
        windowlessItem: settingsContent

        HelpSettings {
            id: settingsContent

            objectName: "settingsContent"
            anchors.centerIn: parent
            width: 700
            height: 200
            visible: settingsOverlay.visible
            onOkPressed: {
                helpMessages._focusSettings()
                helpMessages.state = "helpNothingShow"
            }
            onLearnMoreLinkActivated: {
                helpMessages.openHelpPage()
                helpMessages._focusSettings()
                helpMessages.state = "helpNothingShow"
            }
        }
    }

    CustomPopup {
        id: gridViewOverlay

        objectName: "gridViewOverlay"
        anchors.fill: parent
        visible: false
        isCloseButtonNeeded: false
        windowlessItem: gridViewContent

        HelpGridView {
            id: gridViewContent

            objectName: "gridViewContent"
            anchors.centerIn: parent
            width: 700
            height: 200
            visible: gridViewOverlay.visible
            onOkPressed: helpMessages.state = "helpNothingShow"
            onLearnMoreLinkActivated: {
                helpMessages.openHelpPage()
                helpMessages.state = "helpNothingShow"
            }
        }
    }

    CustomPopup {
        id: listViewOverlay

        objectName: "listViewOverlay"
        anchors.fill: parent
        visible: false
        isCloseButtonNeeded: false
        windowlessItem: listViewContent

        HelpListView {
            id: listViewContent

            objectName: "listViewContent"
            anchors.centerIn: parent
            width: 700
            height: 200
            visible: listViewOverlay.visible
            onOkPressed: helpMessages.state = "helpNothingShow"
            onLearnMoreLinkActivated: {
                helpMessages.openHelpPage()
                helpMessages.state = "helpNothingShow"
            }
        }
    }
}
