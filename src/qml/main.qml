import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Window 2.12
import Qt.labs.settings 1.0
import Qt.labs.platform 1.1 as Platform
import org.netvane.data 1.0

// The one window of the program: fixed size, frameless and transparent, with
// its own shadowed background, title bar, header, the view of the current
// tab and the footer. It owns the tray icon, the user's settings, the
// autostart object, the popups and the help overlays.
//
// Closing hides the window to the tray; only the tray's "Quit" ends the
// program. Where no tray exists (no tray host on the desktop, or none at
// all), the close button quits the same way, so the program never lingers
// out of reach.
ApplicationWindow {
    id: rootWindow

    property bool streamDetectEnabled: appController.streamControlEnabled
    property bool routerActivated: appController.routerActivated
    property string productVersion: swVersion
    property bool isNeedServiceEnable: needServiceEnable
    property bool isStartOnStartUpEnabled: startUp.enable
    property bool isFirstLaunch: false
    property bool isUpdateEnable: generalSettings.isUpdateEnable
    property alias showSystemApps: generalSettings.showSystemApps
    property string tabState: ""
    // Whether quitRequested ends the process; whoever ends it in its own way
    // (the tests) turns this off.
    property bool quitOnRequest: true

    width: Theme.windowWidth
    height: Theme.windowHeight
    minimumWidth: Theme.windowWidth
    minimumHeight: Theme.windowHeight
    maximumWidth: Theme.windowWidth
    maximumHeight: Theme.windowHeight
    flags: Qt.FramelessWindowHint | Qt.Window | Qt.WindowMinimizeButtonHint
    color: "transparent"
    // Started at logon (-a) the window stays hidden from the start, instead
    // of being shown and hidden again a moment later, which flashes it on
    // the screen; only the tray icon shows.
    visible: !isNeedWindowHide

    // The last step of "Quit", after the controller was told.
    signal quitRequested()

    function setStartUpEnable(isEnable) {
        startUp.setEnable(isEnable)
    }

    // The tray's "Quit": stream control off, updates disabled, then the end.
    function quitApplication() {
        appController.setStreamControlState(false)
        appController.sendUpdateStateQml(LibClient.UPDATE_STATE_DISABLED)
        rootWindow.quitRequested()
    }

    function _showWindow() {
        rootWindow.show()
        rootWindow.raise()
        rootWindow.requestActivate()
    }

    function _closeToTray() {
        if (!sysTray.available) {
            rootWindow.quitApplication()
            return
        }
        // Leave a minimised state first, so that the next show is normal.
        rootWindow.show()
        rootWindow.hide()
    }

    function _keepSize() {
        if (rootWindow.width !== rootWindow.maximumWidth || rootWindow.height !== rootWindow.maximumHeight) {
            rootWindow.width = rootWindow.maximumWidth
            rootWindow.height = rootWindow.maximumHeight
        }
    }

    // The settings popup's "CHECK FOR UPDATES": stored, and told the service.
    function _setUpdateChoice(enabled) {
        generalSettings.isUpdateEnable = enabled
        _sendUpdateChoice(enabled)
    }

    function _sendUpdateChoice(enabled) {
        appController.sendUpdateStateQml(enabled ? LibClient.UPDATE_STATE_NO_NEW_VERSION
                                                 : LibClient.UPDATE_STATE_DISABLED)
    }

    function _showHelpForTab() {
        if (rootWindow.tabState === "appListView")
            helpMessages.state = "helpListViewShow"
        else if (rootWindow.tabState === "appGridView")
            helpMessages.state = "helpGridViewShow"
    }

    onWidthChanged: _keepSize()
    onHeightChanged: _keepSize()
    onTabStateChanged: generalSettings.tabState = tabState
    onQuitRequested: if (quitOnRequest) Qt.quit()
    // A close from outside (the window manager) hides as the button does.
    onClosing: {
        close.accepted = false
        _closeToTray()
    }

    Component.onCompleted: {
        rootWindow.tabState = generalSettings.tabState
        helpMessages.state = generalSettings.isFirstRun ? "helpGettingStartedShow" : "helpNothingShow"
        rootWindow.isFirstLaunch = generalSettings.isFirstRun
        if (rootWindow.isFirstLaunch) {
            generalSettings.isFirstRun = false
            startUp.setEnable(true)
        }
    }

    Settings {
        id: generalSettings

        objectName: "generalSettings"

        property bool isFirstRun: true
        property string tabState: "appGridView"
        property bool isUpdateEnable: true
        property bool showSystemApps: false
    }

    StartUp {
        id: startUp
    }

    Connections {
        target: appController

        function onRestoreWindow() {
            rootWindow._showWindow()
        }
    }

    Platform.SystemTrayIcon {
        id: sysTray

        objectName: "sysTray"

        icon.source: "qrc:/res/kestrix.ico"
        visible: true

        // A balloon only while the window is hidden; a minimised window
        // counts as shown.
        function message(title, text) {
            if (!rootWindow.visible)
                showMessage(title, text)
        }

        onMessageClicked: rootWindow._showWindow()
        // A click shows the window: StatusNotifier trays report every click
        // as a Trigger and never a double click. XEmbed trays report a
        // double click as a Trigger and a DoubleClick; showing twice is
        // harmless.
        onActivated: {
            if (reason === Platform.SystemTrayIcon.Trigger || reason === Platform.SystemTrayIcon.DoubleClick)
                rootWindow._showWindow()
        }

        menu: Platform.Menu {
            Platform.MenuItem {
                objectName: "restoreItem"
                text: qsTr("Restore")
                onTriggered: rootWindow.show()
            }

            Platform.MenuItem {
                objectName: "quitItem"
                text: qsTr("Quit")
                onTriggered: rootWindow.quitApplication()
            }
        }
    }

    Item {
        id: mainScreenContainer

        objectName: "mainScreenContainer"
        anchors.fill: parent
        anchors.margins: Theme.windowMargin

        // The main area's panel with its drop shadow, drawn at build time over
        // the whole window, so that every scene graph shows it.
        Image {
            id: background

            anchors.fill: parent
            anchors.margins: -Theme.windowMargin
            source: "qrc:/res/background.png"
        }

        CustomTitleBar {
            id: titleBar

            objectName: "titleBar"
            anchors.top: parent.top
            anchors.left: parent.left
            anchors.right: parent.right
            // 8 % in whole pixels, so that everything below starts on a pixel
            // row: the software scene graph leaves a fractional edge's
            // neighbouring row unpainted when a view is swapped.
            height: Math.round(parent.height * 0.08)
            onSettingsClicked: {
                popupSettings.visible = true
                popupSettings.forceActiveFocus()
            }
            onMinimizeClicked: rootWindow.showMinimized()
            onCloseClicked: rootWindow._closeToTray()
        }

        Header {
            id: header

            objectName: "header"
            anchors.top: titleBar.bottom
            anchors.left: parent.left
            anchors.right: parent.right
            height: parent.height * 0.1
        }

        ActionContainer {
            id: actionContainer

            objectName: "actionContainer"
            anchors.top: header.bottom
            anchors.bottom: footer.top
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.leftMargin: parent.width * 0.05
            anchors.rightMargin: parent.width * 0.05
        }

        Footer {
            id: footer

            objectName: "footer"
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 15
            width: parent.width
            height: 180
            onHelpPressed: rootWindow._showHelpForTab()
        }

        CustomPopup {
            id: sortPopup

            objectName: "sortPopup"
            anchors.fill: parent
            visible: false
            windowlessItem: sortWindow
            onClosePopup: sortPopup.visible = false

            SortWindow {
                id: sortWindow

                objectName: "sortWindow"
                anchors.right: parent.right
                anchors.top: parent.top
                anchors.rightMargin: 100
                anchors.topMargin: 100
                width: 140
                height: 140
                visible: sortPopup.visible
                onClicked: sortPopup.visible = false
                onSortSelected: {
                    header.sortText = sortString
                    header.sortingChanged(sortColumn, sortOrder)
                }
            }
        }

        // Tooltips move in here while shown, above everything else.
        Item {
            id: topItem

            objectName: "topItem"
            anchors.fill: parent
            z: 3
        }
    }

    CustomPopup {
        id: popupSettings

        objectName: "popupSettings"
        anchors.fill: mainScreenContainer
        visible: false
        windowlessItem: settingsContent
        onClosePopup: popupSettings.visible = false

        AppSettings {
            id: settingsContent

            // True while the stored choice is put into the box at creation.
            property bool _restoring: false

            objectName: "appSettings"
            anchors.centerIn: parent
            width: 400
            height: 500
            visible: popupSettings.visible

            onHelpPressed: {
                popupSettings.focus = false
                helpMessages.state = "helpSettingsShow"
            }
            onAboutPressed: {
                popupSettings.focus = false
                popupAbout.visible = true
                popupAbout.forceActiveFocus()
            }
            onUpdateEnableChanged: {
                if (!_restoring)
                    rootWindow._setUpdateChoice(updateEnable)
            }
            // The controller learns the stored choice at every start, also
            // when this popup is never opened. An offer that came before the
            // window is not written over while updates are on: the update
            // window shows it.
            Component.onCompleted: {
                _restoring = true
                updateEnable = generalSettings.isUpdateEnable
                _restoring = false
                if (!updateEnable || appController.updateState !== LibClient.UPDATE_STATE_NEW_VERSION_DETECTED)
                    rootWindow._sendUpdateChoice(updateEnable)
            }
        }
    }

    CustomPopup {
        id: popupAbout

        objectName: "popupAbout"
        anchors.fill: mainScreenContainer
        visible: false
        windowlessItem: aboutContent
        onClosePopup: {
            popupAbout.visible = false
            popupSettings.forceActiveFocus()
        }

        AboutWindow {
            id: aboutContent

            objectName: "aboutContent"
            anchors.centerIn: parent
            width: 450
            height: 230
            visible: popupAbout.visible
        }
    }

    CustomPopup {
        id: popupUpdate

        objectName: "popupUpdate"
        anchors.fill: mainScreenContainer
        visible: false
        windowlessItem: updateContent
        onClosePopup: popupUpdate.visible = false

        UpdateWindow {
            id: updateContent

            objectName: "updateContent"
            anchors.centerIn: parent
            width: 550
            height: 200
            visible: popupUpdate.visible

            onSetVisible: function(shown) { popupUpdate.visible = shown }
            onClose: popupUpdate.visible = false
            onCanselPressed: popupUpdate.visible = false
        }
    }

    // Above every popup.
    HelpMessages {
        id: helpMessages

        objectName: "helpMessages"
        anchors.fill: mainScreenContainer
        z: 3
        gettingStartedNextComponent: popupSettings
        settingsItem: popupSettings
    }
}
