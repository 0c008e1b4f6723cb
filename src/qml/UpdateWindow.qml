import QtQuick 2.12
import QtQuick.Controls 2.12 as C2
import org.netvane.data 1.0

// The update window follows the controller's update state: it offers a new
// version, shows the download's progress, starts the downloaded installer
// and closes. The main window shows or hides its popup on setVisible, and
// hides it on close and canselPressed.
//
// The window's visual state changes only with the update state. The states
// the window sends itself (disabled after a finished or failed download) do
// not move it: the completion text stays until the close timer fires, the
// failure text until the user closes the popup.
FocusScope {
    id: updateWindow

    property int updateState: appController.updateState
    // Starts the installer; anything with launch(command) will do.
    property QtObject launcher: Launcher {}
    // How long the completion text stays before the window closes.
    property alias closeDelay: closeTimer.interval
    // The main window (first launch, update checks) and its tray icon.
    property QtObject mainWindow: rootWindow
    property QtObject tray: sysTray

    // True while the window itself sends a state, so that it ignores it.
    property bool _sending: false
    // What the states show. The states change these rather than `visible`
    // itself: a state saves the value it replaces and restores it on leaving,
    // and `visible` reads false while the popup is hidden, which would hide
    // the bar or the links for good.
    property bool _linksShown: true
    property bool _barShown: true

    readonly property string _newVersionText: qsTr("A new version of Kestrix Command Center is available.")

    signal setVisible(bool visible)
    signal close()
    signal canselPressed()
    signal confirmPressed()

    function _stateFor(updateState) {
        switch (updateState) {
        case LibClient.UPDATE_STATE_NO_NEW_VERSION:
            return "stateNoNewVersion"
        case LibClient.UPDATE_STATE_NEW_VERSION_DETECTED:
            return "stateNewVersionFound"
        case LibClient.UPDATE_STATE_NEW_VERSION_ACCEPTED:
            return "stateUpdating"
        case LibClient.UPDATE_STATE_NEW_VERSION_DOWNLOADED:
            return "stateDownloadingFinished"
        case LibClient.UPDATE_STATE_NEW_VERSION_DOWNLOADED_FAILED:
            return "stateUpdatingFailed"
        case LibClient.UPDATE_STATE_DISABLED:
            return "stateUpdateDisabled"
        }
        return ""
    }

    function _send(updateState) {
        _sending = true
        appController.sendUpdateStateQml(updateState)
        _sending = false
    }

    // Enters a state and does what entering it means.
    function _enter(name) {
        if (name === "" || name === updateWindow.state)
            return
        updateWindow.state = name
        switch (name) {
        case "stateNoNewVersion":
        case "stateUpdateDisabled":
            updateWindow.setVisible(false)
            break
        case "stateNewVersionFound":
            updateWindow.setVisible(!updateWindow.mainWindow.isFirstLaunch && updateWindow.mainWindow.isUpdateEnable)
            updateWindow.tray.message(qsTr("Kestrix Command Center: update available"), _newVersionText)
            break
        case "stateDownloadingFinished":
            updateWindow.launcher.launch(appController.updateExecuteCommand)
            _send(LibClient.UPDATE_STATE_DISABLED)
            break
        case "stateUpdatingFailed":
            _send(LibClient.UPDATE_STATE_DISABLED)
            break
        }
        _takeFocus()
    }

    // An offer that came before the window (the controller polls once
    // before the scenes exist) counts as just arrived.
    function _takeStandingOffer() {
        if (appController.updateState === LibClient.UPDATE_STATE_NEW_VERSION_DETECTED)
            _enter("stateNewVersionFound")
    }

    // The right-hand link takes the focus while the links are shown;
    // otherwise the window keeps it, so that Escape still reaches the popup.
    function _takeFocus() {
        if (!updateWindow.visible)
            return
        if (updateWindow._linksShown) {
            cancelLink.forceActiveFocus()
            installLink.forceActiveFocus()
        } else {
            updateWindow.forceActiveFocus()
        }
    }

    state: "stateNoNewVersion"

    onVisibleChanged: _takeFocus()
    // Later, when the main window around it is complete too: whether this is
    // the first launch is known, and the stored update choice has been told.
    Component.onCompleted: Qt.callLater(updateWindow._takeStandingOffer)

    states: [
        State {
            name: "stateNoNewVersion"
        },
        State {
            name: "stateNewVersionFound"
            PropertyChanges { target: mainText; text: updateWindow._newVersionText }
            PropertyChanges { target: updateWindow; _barShown: false }
        },
        State {
            name: "stateUpdating"
            PropertyChanges { target: mainText; text: qsTr("The Kestrix Command Center is currently updating.") }
            PropertyChanges { target: updateWindow; _linksShown: false }
        },
        State {
            name: "stateDownloadingFinished"
            PropertyChanges { target: mainText; text: qsTr("The Kestrix Command Center downloading process has completed.") }
            PropertyChanges { target: updateWindow; _linksShown: false }
            PropertyChanges { target: closeTimer; running: true }
        },
        State {
            name: "stateUpdatingFailed"
            PropertyChanges { target: mainText; text: qsTr("The Kestrix Command Center downloading process failed.") }
            PropertyChanges { target: updateWindow; _linksShown: false }
            PropertyChanges { target: updateWindow; _barShown: false }
        },
        State {
            name: "stateUpdateDisabled"
        }
    ]

    // The state machine runs on the controller's own signal rather than on
    // updateState: entering a state may send a state, and that must not
    // re-enter the binding while it is being written.
    Connections {
        target: appController

        function onUpdateStateChanged() {
            if (!updateWindow._sending)
                updateWindow._enter(updateWindow._stateFor(appController.updateState))
        }
    }

    Timer {
        id: closeTimer

        interval: 2000
        repeat: false
        onTriggered: updateWindow.close()
    }

    Text {
        id: mainText

        objectName: "mainText"
        anchors.centerIn: parent
        anchors.verticalCenterOffset: -20
        width: parent.width * 0.9
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.WordWrap
        text: ""
        color: Theme.textAlt
        font.pixelSize: Theme.textLarge
    }

    C2.ProgressBar {
        id: progressBar

        objectName: "progressBar"
        visible: updateWindow._barShown
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 20
        width: parent.width * 0.9
        height: 20
        from: 0
        to: appController.progressDenominator
        value: appController.progressNumeral

        Behavior on value {
            NumberAnimation { duration: 1000 }
        }

        background: Rectangle {
            implicitWidth: 150
            implicitHeight: 20
            radius: 2
            gradient: Theme.barTrack
        }

        contentItem: Item {
            Rectangle {
                objectName: "progressFill"
                width: progressBar.visualPosition * parent.width
                height: parent.height
                radius: 2
                gradient: Theme.barFill
            }
        }
    }

    LinkText {
        id: cancelLink

        objectName: "cancelLink"
        visible: updateWindow._linksShown
        anchors.left: parent.left
        anchors.bottom: parent.bottom
        anchors.margins: 10
        text: qsTr("Cancel")
        font.pixelSize: Theme.textLarge
        KeyNavigation.tab: installLink
        onLinkCLicked: updateWindow.canselPressed()
    }

    LinkText {
        id: installLink

        objectName: "installLink"
        visible: updateWindow._linksShown
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 10
        text: qsTr("Download and install")
        font.pixelSize: Theme.textLarge
        KeyNavigation.tab: cancelLink
        onLinkCLicked: {
            appController.sendUpdateStateQml(LibClient.UPDATE_STATE_NEW_VERSION_ACCEPTED)
            updateWindow.confirmPressed()
        }
    }
}
