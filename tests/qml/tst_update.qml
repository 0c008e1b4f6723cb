import QtQuick 2.12
import QtTest 1.12
import org.netvane.data 1.0
import "qrc:/qml"

// The update window following the controller's update state: when it asks
// to be shown, the tray message, the installer started once, the texts that
// stay, and an unknown state left alone.
Item {
    id: root

    width: 700
    height: 400

    // What the window reads of the main window; the tray and the launcher record.
    QtObject { id: mainStub; property bool isFirstLaunch: false; property bool isUpdateEnable: true }
    QtObject { id: trayStub; property int messages: 0; function message(title, text) { messages++ } }
    QtObject { id: recorder; property var commands: []; function launch(command) { commands = commands.concat([command]) } }
    Component { id: windowComponent; UpdateWindow { width: 550; height: 200; mainWindow: mainStub; tray: trayStub; launcher: recorder; closeDelay: 100 } }
    Component { id: spyComponent; SignalSpy {} }
    SignalSpy { id: sent; target: appController; signalName: "sendUpdateState" }

    TestCase {
        id: testCase

        property var window: null

        name: "UpdateWindow"
        when: windowShown

        function part(name) {
            return findChild(window, name)
        }

        function spy(signalName) {
            return createTemporaryObject(spyComponent, testCase, { target: window, signalName: signalName })
        }

        function init() {
            appController.updateState = LibClient.UPDATE_STATE_NO_NEW_VERSION
            mainStub.isFirstLaunch = false
            mainStub.isUpdateEnable = true
            trayStub.messages = 0
            recorder.commands = []
            window = createTemporaryObject(windowComponent, root)
            sent.clear()
        }

        function cleanup() {
            window = null
            appController.updateState = LibClient.UPDATE_STATE_NO_NEW_VERSION
        }

        // The popup only when it may show; the tray message always. An offer
        // that came before the window (standing) counts as just arrived.
        function test_offer_data() {
            return [
                { tag: "shown", firstLaunch: false, updateEnable: true, shown: true },
                { tag: "first launch", firstLaunch: true, updateEnable: true, shown: false },
                { tag: "update checks off", firstLaunch: false, updateEnable: false, shown: false },
                { tag: "standing", firstLaunch: false, updateEnable: true, shown: true, standing: true },
                { tag: "standing, first launch", firstLaunch: true, updateEnable: true, shown: false, standing: true }
            ]
        }

        function test_offer(data) {
            mainStub.isFirstLaunch = data.firstLaunch
            mainStub.isUpdateEnable = data.updateEnable
            if (data.standing) {
                appController.updateState = LibClient.UPDATE_STATE_NEW_VERSION_DETECTED
                trayStub.messages = 0
                window = createTemporaryObject(windowComponent, root)
            }
            var visibility = spy("setVisible")
            appController.updateState = LibClient.UPDATE_STATE_NEW_VERSION_DETECTED
            tryCompare(visibility, "count", 1)
            compare(visibility.signalArguments[0][0], data.shown)
            compare(trayStub.messages, 1)
        }

        // The popup is hidden while a state comes in; shown again later, the
        // bar and the links must be back where the state shows them.
        function test_stateEnteredWhileHiddenShowsLater() {
            var steps = [LibClient.UPDATE_STATE_NEW_VERSION_DETECTED, LibClient.UPDATE_STATE_NEW_VERSION_ACCEPTED,
                         LibClient.UPDATE_STATE_NO_NEW_VERSION, LibClient.UPDATE_STATE_NEW_VERSION_DETECTED]
            var links = [true, false, true, true]
            var bar = [false, true, true, false]
            for (var i = 0; i < steps.length; ++i) {
                window.visible = false
                appController.updateState = steps[i]
                window.visible = true
                compare(part("installLink").visible, links[i], "links after step " + i)
                compare(part("progressBar").visible, bar[i], "progress bar after step " + i)
            }
        }

        // Its own DISABLED does not move the window: the completion text
        // stays until the close timer fires.
        function test_downloadedStartsTheInstallerOnce() {
            var closed = spy("close")
            appController.updateExecuteCommand = "\"Kestrix Setup\" /quiet"
            appController.updateState = LibClient.UPDATE_STATE_NEW_VERSION_ACCEPTED
            appController.updateState = LibClient.UPDATE_STATE_NEW_VERSION_DOWNLOADED
            compare(sent.count, 1)
            compare(sent.signalArguments[0][0], LibClient.UPDATE_STATE_DISABLED)
            compare(window.state, "stateDownloadingFinished")
            closed.wait(3000)
            compare(recorder.commands, ["\"Kestrix Setup\" /quiet"])
            compare(sent.count, 1)
        }

        function test_failureTextStaysUntilClosed() {
            var closed = spy("close")
            appController.updateState = LibClient.UPDATE_STATE_NEW_VERSION_ACCEPTED
            appController.updateState = LibClient.UPDATE_STATE_NEW_VERSION_DOWNLOADED_FAILED
            compare(sent.count, 1)
            compare(sent.signalArguments[0][0], LibClient.UPDATE_STATE_DISABLED)
            var text = part("mainText").text
            wait(300)
            compare(closed.count, 0)
            compare(part("mainText").text, text)
            compare(window.state, "stateUpdatingFailed")
            compare(recorder.commands, [])
        }

        function test_unknownStateLeavesTheWindowAsItWas() {
            appController.updateState = LibClient.UPDATE_STATE_NEW_VERSION_DETECTED
            var visibility = spy("setVisible")
            appController.updateState = 9
            compare(window.state, "stateNewVersionFound")
            compare(visibility.count, 0)
        }
    }
}
