import QtQuick 2.12
import QtTest 1.12
import Qt.labs.platform 1.1 as Platform
import org.netvane.data 1.0

// The main window from its first start to its end: the getting-started help
// and the start at logon on the first start only, the stored update choice
// told to the service once per start, and the order of the end (stream
// control off, updates disabled, then quit).
TestCase {
    id: testCase

    property var window: null
    // What reached the controller and the window's quit, in order.
    property var calls: []

    name: "MainWindow"
    when: windowShown

    function startWindow() {
        var component = Qt.createComponent("qrc:/qml/main.qml")
        compare(component.status, Component.Ready, component.errorString())
        // The tests end nothing: quitRequested is only recorded.
        window = component.createObject(null, { quitOnRequest: false })
        window.quitRequested.connect(function () { testCase.record("quit") })
        tryCompare(window, "visible", true)
    }

    function stopWindow() {
        window.destroy()
        window = null
        // The settings are written when the deferred deletion happens.
        wait(50)
    }

    function child(name) {
        return findChild(window.contentItem, name) || findChild(window, name)
    }

    function record(call) {
        calls = calls.concat([call])
    }

    function autostart(enable) {
        var probe = startUpProbe.createObject(testCase)
        if (enable !== undefined)
            probe.setEnable(enable)
        var enabled = probe.enable
        probe.destroy()
        return enabled
    }

    function init() {
        testSupport.clearSettings()
        autostart(false)
        appController.updateState = LibClient.UPDATE_STATE_NO_NEW_VERSION
        calls = []
    }

    function cleanup() {
        if (window)
            stopWindow()
    }

    function test_firstStartShowsHelpAndRegistersAutostartOnce() {
        startWindow()
        compare(child("helpMessages").state, "helpGettingStartedShow")
        verify(autostart(), "the first start registers the program at logon")
        stopWindow()
        tryVerify(function () { return String(testSupport.storedSetting("isFirstRun")) === "false" }, 3000)

        autostart(false)   // the user turns it off; the next start leaves it off
        startWindow()
        compare(child("helpMessages").state, "helpNothingShow")
        verify(!autostart(), "only the first start registers the program")
    }

    // An offer that came before the window is not written over, but shown.
    function test_storedUpdateChoiceIsSentOncePerStart_data() {
        var none = LibClient.UPDATE_STATE_NO_NEW_VERSION, off = LibClient.UPDATE_STATE_DISABLED
        var offer = LibClient.UPDATE_STATE_NEW_VERSION_DETECTED
        return [
            { tag: "checks off", stored: false, standing: none, sent: [off], shown: false },
            { tag: "checks on", stored: true, standing: none, sent: [none], shown: false },
            { tag: "checks off, an offer standing", stored: false, standing: offer, sent: [off], shown: false },
            { tag: "checks on, an offer standing", stored: true, standing: offer, sent: [], shown: true }
        ]
    }

    function test_storedUpdateChoiceIsSentOncePerStart(data) {
        testSupport.storeSetting("isFirstRun", false)
        testSupport.storeSetting("isUpdateEnable", data.stored)
        appController.updateState = data.standing
        startWindow()
        wait(50)   // what the window leaves for later
        compare(calls, data.sent.map(function (state) { return "update " + state }))
        compare(child("popupUpdate").visible, data.shown)
        // A change in the settings popup is stored and told at once.
        calls = []
        child("appSettings").updateEnable = !data.stored
        compare(calls, ["update " + (data.stored ? LibClient.UPDATE_STATE_DISABLED : LibClient.UPDATE_STATE_NO_NEW_VERSION)])
        tryVerify(function () { return String(testSupport.storedSetting("isUpdateEnable")) === String(!data.stored) }, 3000)
    }

    function test_endsInOrder_data() {
        return [{ tag: "close button without a tray", tray: false }, { tag: "tray's Quit", tray: true }]
    }

    function test_endsInOrder(data) {
        testSupport.storeSetting("isFirstRun", false)   // the help would take the click
        startWindow()
        calls = []
        if (data.tray) {
            child("sysTray").menu.items[1].triggered()
        } else {
            verify(!child("sysTray").available, "this row needs a desktop without a tray")
            mouseClick(child("windowCloseButton"))
        }
        compare(calls, ["stream false", "update " + LibClient.UPDATE_STATE_DISABLED, "quit"])
    }

    // A grid built anew (after the list) sorts as its label says.
    function test_gridSortAgreesWithItsLabelAfterTheList() {
        testSupport.storeSetting("isFirstRun", false)
        testSupport.storeSetting("gridSortedRole", OverviewModel.DownloadSpeedRole)
        testSupport.storeSetting("gridSortedOrder", Qt.DescendingOrder)
        testSupport.clearItems()
        appController.streamControlEnabled = true
        testSupport.addItem(1, 1, "alpha", 1, false, 0, 0, 10)
        testSupport.addItem(2, 1, "bravo", 1, false, 0, 0, 30)
        startWindow()
        mouseClick(child("listButton"))
        mouseClick(child("gridButton"))
        compare(child("header").sortText, child("downloadButton").text)
        var tiles = findChild(child("criticalRow"), "tileList")
        tiles.forceLayout()
        compare([0, 1].map(function (i) { return tiles.itemAtIndex(i).tile.displayedName }), ["BRAVO", "ALPHA"])
    }

    // StatusNotifier trays report a click as a Trigger, never a double click.
    function test_trayClickShowsTheWindow_data() {
        return [
            { tag: "click", reason: Platform.SystemTrayIcon.Trigger, shown: true },
            { tag: "double click", reason: Platform.SystemTrayIcon.DoubleClick, shown: true },
            { tag: "context menu", reason: Platform.SystemTrayIcon.Context, shown: false }
        ]
    }

    function test_trayClickShowsTheWindow(data) {
        testSupport.storeSetting("isFirstRun", false)
        startWindow()
        window.hide()
        child("sysTray").activated(data.reason)
        compare(window.visible, data.shown)
    }

    Component { id: startUpProbe; StartUp {} }

    Connections {
        target: appController

        function onSetStreamControlState(enabled) { testCase.record("stream " + enabled) }
        function onSendUpdateState(state) { testCase.record("update " + state) }
    }
}
