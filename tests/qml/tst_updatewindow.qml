import QtQuick 2.12
import QtTest 1.12
import org.netvane.data 1.0
import "qrc:/qml"

// The update window through every update state: whether it asks to be
// shown, the tray message, the links (Cancel sends nothing, Download and
// install sends ACCEPTED, Tab and Return), the installer started exactly
// once with DISABLED sent and the window closing two seconds later, the
// failure text staying, and the animated progress bar.
Item {
    id: root

    width: 700
    height: 400

    // What the window reads of the main window.
    Item {
        id: rootWindow

        property bool isFirstLaunch: false
        property bool isUpdateEnable: true
    }

    // The tray icon, recording its messages.
    QtObject {
        id: sysTray

        property var messages: []

        function message(title, text) {
            messages = messages.concat([[title, text]])
        }
    }

    // Stands in for the Launcher: records instead of starting anything.
    Component {
        id: launcherComponent

        QtObject {
            property var commands: []

            function launch(command) {
                commands = commands.concat([command])
                return ""
            }
        }
    }

    Component {
        id: windowComponent

        UpdateWindow {
            width: 550
            height: 200
        }
    }

    SignalSpy {
        id: sendSpy

        target: appController
        signalName: "sendUpdateState"
    }

    SignalSpy {
        id: visibleSpy

        signalName: "setVisible"
    }

    SignalSpy {
        id: closeSpy

        signalName: "close"
    }

    SignalSpy {
        id: cancelSpy

        signalName: "canselPressed"
    }

    SignalSpy {
        id: confirmSpy

        signalName: "confirmPressed"
    }

    TestCase {
        id: testCase

        property var window: null
        property var launcher: null

        name: "UpdateWindow"
        when: windowShown

        readonly property string foundText: "A new version of Kestrix Command Center is available."

        function part(name) {
            var found = findChild(window, name)
            verify(found !== null, "no " + name)
            return found
        }

        function init() {
            appController.updateState = LibClient.UPDATE_STATE_NO_NEW_VERSION
            appController.progressNumeral = 0
            appController.progressDenominator = 0
            appController.updateExecuteCommand = ""
            rootWindow.isFirstLaunch = false
            rootWindow.isUpdateEnable = true
            sysTray.messages = []
            launcher = createTemporaryObject(launcherComponent, testCase)
            window = createTemporaryObject(windowComponent, root, { launcher: launcher })
            verify(window !== null)
            var spies = [visibleSpy, closeSpy, cancelSpy, confirmSpy]
            for (var i = 0; i < spies.length; ++i) {
                spies[i].target = window
                spies[i].clear()
            }
            sendSpy.clear()
        }

        function cleanup() {
            var spies = [visibleSpy, closeSpy, cancelSpy, confirmSpy]
            for (var i = 0; i < spies.length; ++i)
                spies[i].target = null
            window = null
            appController.updateState = LibClient.UPDATE_STATE_NO_NEW_VERSION
            appController.progressNumeral = 0
            appController.progressDenominator = 0
            appController.updateExecuteCommand = ""
        }

        function test_createdHiddenAndIdle() {
            compare(window.state, "stateNoNewVersion")
            compare(visibleSpy.count, 0)
            compare(part("mainText").text, "")
            // By default it starts installers through the program's Launcher.
            var real = createTemporaryObject(windowComponent, root)
            verify(String(real.launcher).indexOf("Launcher") === 0, String(real.launcher))
        }

        // As in the window: the popup is hidden while the offer comes in, then
        // shown; the bar and the links must come back in the later states.
        function test_aHiddenWindowStillShowsBarAndLinksLater() {
            window.visible = false
            appController.updateState = LibClient.UPDATE_STATE_NEW_VERSION_DETECTED
            window.visible = true
            verify(part("cancelLink").visible)
            verify(part("installLink").visible)
            verify(!part("progressBar").visible)
            window.visible = false
            appController.updateState = LibClient.UPDATE_STATE_NEW_VERSION_ACCEPTED
            window.visible = true
            verify(part("progressBar").visible, "the progress bar shows while updating")
            verify(!part("installLink").visible)
            window.visible = false
            appController.updateState = LibClient.UPDATE_STATE_NO_NEW_VERSION
            appController.updateState = LibClient.UPDATE_STATE_NEW_VERSION_DETECTED
            window.visible = true
            verify(part("installLink").visible, "the links come back with a new offer")
        }

        function test_newVersionShowsThePopupAndTellsTheTray() {
            appController.updateState = LibClient.UPDATE_STATE_NEW_VERSION_DETECTED
            compare(window.state, "stateNewVersionFound")
            compare(visibleSpy.count, 1)
            compare(visibleSpy.signalArguments[0][0], true)
            compare(sysTray.messages, [["KCMD new info", foundText]])
            compare(part("mainText").text, foundText)
            verify(part("cancelLink").visible)
            verify(part("installLink").visible)
            verify(!part("progressBar").visible)
            compare(sendSpy.count, 0)
        }

        function test_newVersion_data() {
            return [
                { tag: "first launch", firstLaunch: true, updateEnable: true },
                { tag: "update checks off", firstLaunch: false, updateEnable: false }
            ]
        }

        // No popup then, but the tray message still comes.
        function test_newVersion(data) {
            rootWindow.isFirstLaunch = data.firstLaunch
            rootWindow.isUpdateEnable = data.updateEnable
            appController.updateState = LibClient.UPDATE_STATE_NEW_VERSION_DETECTED
            compare(window.state, "stateNewVersionFound")
            compare(visibleSpy.count, 1)
            compare(visibleSpy.signalArguments[0][0], false)
            compare(sysTray.messages.length, 1)
        }

        function test_cancelSendsNothingAndARepeatedOfferStaysHidden() {
            appController.updateState = LibClient.UPDATE_STATE_NEW_VERSION_DETECTED
            mouseClick(part("cancelLink"))
            compare(cancelSpy.count, 1)
            compare(sendSpy.count, 0)
            compare(appController.updateState, LibClient.UPDATE_STATE_NEW_VERSION_DETECTED)

            appController.updateState = LibClient.UPDATE_STATE_NEW_VERSION_DETECTED
            compare(visibleSpy.count, 1)
            compare(sysTray.messages.length, 1)

            // A new offer after a change is shown again.
            appController.updateState = LibClient.UPDATE_STATE_NO_NEW_VERSION
            appController.updateState = LibClient.UPDATE_STATE_NEW_VERSION_DETECTED
            compare(visibleSpy.count, 3)
            compare(visibleSpy.signalArguments[1][0], false)
            compare(visibleSpy.signalArguments[2][0], true)
        }

        function test_downloadAndInstallAcceptsAndShowsProgress() {
            appController.progressDenominator = 200
            appController.updateState = LibClient.UPDATE_STATE_NEW_VERSION_DETECTED
            mouseClick(part("installLink"))
            compare(sendSpy.count, 1)
            compare(sendSpy.signalArguments[0][0], LibClient.UPDATE_STATE_NEW_VERSION_ACCEPTED)
            compare(confirmSpy.count, 1)
            compare(window.state, "stateUpdating")
            compare(part("mainText").text, "The Kestrix Command Center is currently updating.")
            verify(part("progressBar").visible)
            verify(!part("cancelLink").visible)
            verify(!part("installLink").visible)
        }

        function test_progressIsAnimated() {
            appController.updateState = LibClient.UPDATE_STATE_NEW_VERSION_ACCEPTED
            var bar = part("progressBar")
            compare(bar.to, 0)
            // No denominator: an empty bar.
            compare(part("progressFill").width, 0)
            appController.progressDenominator = 200
            appController.progressNumeral = 100
            compare(bar.to, 200)
            wait(300)
            verify(bar.value > 0 && bar.value < 100, "value " + bar.value)
            tryCompare(bar, "value", 100, 1500)
            fuzzyCompare(part("progressFill").width, bar.width / 2, 0.5)
        }

        function test_downloadedLaunchesOnceSendsDisabledAndCloses() {
            appController.updateExecuteCommand = "\"Kestrix Setup.exe\" /quiet"
            appController.updateState = LibClient.UPDATE_STATE_NEW_VERSION_ACCEPTED
            appController.updateState = LibClient.UPDATE_STATE_NEW_VERSION_DOWNLOADED
            compare(launcher.commands, ["\"Kestrix Setup.exe\" /quiet"])
            compare(sendSpy.count, 1)
            compare(sendSpy.signalArguments[0][0], LibClient.UPDATE_STATE_DISABLED)
            // Its own DISABLED does not move it: the completion text stays.
            compare(appController.updateState, LibClient.UPDATE_STATE_DISABLED)
            compare(window.updateState, LibClient.UPDATE_STATE_DISABLED)
            compare(window.state, "stateDownloadingFinished")
            compare(part("mainText").text, "The Kestrix Command Center downloading process has completed.")
            verify(part("progressBar").visible)
            verify(!part("installLink").visible)

            wait(1500)
            compare(closeSpy.count, 0)
            closeSpy.wait(1000)
            compare(closeSpy.count, 1)
            compare(launcher.commands.length, 1)
            compare(sendSpy.count, 1)
            compare(window.state, "stateDownloadingFinished")

            // The next change is followed as usual.
            appController.updateState = LibClient.UPDATE_STATE_NO_NEW_VERSION
            compare(window.state, "stateNoNewVersion")
            compare(launcher.commands.length, 1)
        }

        function test_failureTextStaysUntilClosed() {
            window.closeDelay = 100
            appController.updateState = LibClient.UPDATE_STATE_NEW_VERSION_ACCEPTED
            appController.updateState = LibClient.UPDATE_STATE_NEW_VERSION_DOWNLOADED_FAILED
            compare(sendSpy.count, 1)
            compare(sendSpy.signalArguments[0][0], LibClient.UPDATE_STATE_DISABLED)
            compare(window.state, "stateUpdatingFailed")
            compare(part("mainText").text, "The Kestrix Command Center downloading process failed.")
            verify(!part("progressBar").visible)
            verify(!part("cancelLink").visible)
            wait(300)
            compare(closeSpy.count, 0)
            compare(window.state, "stateUpdatingFailed")
            compare(launcher.commands.length, 0)
            compare(visibleSpy.count, 0)
        }

        function test_disabledAndNoNewVersionHide() {
            appController.updateState = LibClient.UPDATE_STATE_NEW_VERSION_DETECTED
            appController.updateState = LibClient.UPDATE_STATE_DISABLED
            compare(window.state, "stateUpdateDisabled")
            compare(visibleSpy.count, 2)
            compare(visibleSpy.signalArguments[1][0], false)
            compare(part("mainText").text, "")

            appController.updateState = LibClient.UPDATE_STATE_NO_NEW_VERSION
            compare(window.state, "stateNoNewVersion")
            compare(visibleSpy.count, 3)
            compare(visibleSpy.signalArguments[2][0], false)
            compare(sendSpy.count, 0)
        }

        function test_unknownStateLeavesTheWindowAsItWas() {
            appController.updateState = LibClient.UPDATE_STATE_NEW_VERSION_DETECTED
            appController.updateState = 9
            compare(window.updateState, 9)
            compare(window.state, "stateNewVersionFound")
            compare(visibleSpy.count, 1)
        }

        function test_linksTakeTheFocusAndAnswerReturn() {
            appController.updateState = LibClient.UPDATE_STATE_NEW_VERSION_DETECTED
            var install = part("installLink")
            var cancel = part("cancelLink")
            verify(install.activeFocus)

            keyClick(Qt.Key_Tab)
            verify(cancel.activeFocus)
            keyClick(Qt.Key_Return)
            compare(cancelSpy.count, 1)
            compare(sendSpy.count, 0)

            keyClick(Qt.Key_Tab)
            verify(install.activeFocus)
            keyClick(Qt.Key_Return)
            compare(sendSpy.count, 1)
            compare(sendSpy.signalArguments[0][0], LibClient.UPDATE_STATE_NEW_VERSION_ACCEPTED)
            compare(window.state, "stateUpdating")
            // The links are gone; the window keeps the focus for Escape.
            verify(window.activeFocus)
        }
    }
}
