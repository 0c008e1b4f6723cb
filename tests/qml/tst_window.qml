import QtQuick 2.12
import QtTest 1.12
import Qt.labs.platform 1.1 as Platform
import org.netvane.data 1.0

// The main window as the user meets it: the first start and the next one,
// the tabs and their persistence, the view area, the fixed size, the
// header's sort indicator, the footer's help, the title bar's buttons, and
// the tray's Restore and Quit. Every window starts from a clean slate of
// settings unless the test stores something first.
TestCase {
    id: testCase

    property var window: null
    // What reached the controller and the window's quit, in order.
    property var calls: []

    name: "MainWindow"
    when: windowShown
    width: 200
    height: 200

    // A window as a returning user meets it: the getting-started help (which
    // covers everything and takes every click) was dismissed on an earlier start.
    function startWindow() {
        testSupport.storeSetting("isFirstRun", false)
        return createWindow()
    }

    function createWindow() {
        var component = Qt.createComponent("qrc:/qml/main.qml")
        compare(component.status, Component.Ready, component.errorString())
        // The tests end nothing: quitRequested is only observed.
        var created = component.createObject(null, { quitOnRequest: false })
        verify(created !== null)
        created.quitRequested.connect(function () { testCase.record("quit") })
        tryCompare(created, "visible", true)
        waitForRendering(created.contentItem)
        return created
    }

    function stopWindow() {
        if (!window)
            return
        window.destroy()
        window = null
        // Deferred deletion: the settings are written when it happens.
        wait(50)
    }

    // Items by a visual search (Repeater delegates have no QObject parent),
    // the window's other objects by their QObject parent.
    function child(name) {
        var found = findChild(window.contentItem, name) || findChild(window, name)
        verify(found !== null, "no " + name)
        return found
    }

    function record(call) {
        calls = calls.concat([call])
    }

    function autostartEnabled() {
        var probe = startUpProbe.createObject(testCase)
        var enabled = probe.enable
        probe.destroy()
        return enabled
    }

    function storedText(key) {
        return String(testSupport.storedSetting(key))
    }

    function init() {
        testSupport.clearSettings()
        var probe = startUpProbe.createObject(testCase)
        probe.setEnable(false)
        probe.destroy()
        appController.adapterModel = ""
        appController.vendorLogo = ""
        calls = []
    }

    function cleanup() {
        stopWindow()
    }

    function test_firstStartShowsHelpAndRegistersAutostartOnce() {
        window = createWindow()
        compare(child("helpMessages").state, "helpGettingStartedShow")
        compare(window.isFirstLaunch, true)
        compare(window.tabState, "appGridView")
        verify(autostartEnabled(), "the first start registers the program at logon")
        compare(window.isStartOnStartUpEnabled, true)
        stopWindow()
        tryVerify(function () { return storedText("isFirstRun") === "false" }, 3000)

        // The user turns autostart off; the next start leaves it off.
        var probe = startUpProbe.createObject(testCase)
        probe.setEnable(false)
        probe.destroy()
        window = createWindow()
        compare(child("helpMessages").state, "helpNothingShow")
        compare(window.isFirstLaunch, false)
        verify(!autostartEnabled(), "only the first start registers the program")
        compare(window.isStartOnStartUpEnabled, false)
    }

    function test_tabsSwitchTheViewAndPersist() {
        window = startWindow()
        var gridButton = child("gridButton")
        var listButton = child("listButton")
        var loader = child("viewLoader")
        compare(gridButton.selected, true)
        compare(listButton.selected, false)
        compare(child("actionContainer").state, "appGridView")
        compare(String(loader.source), "qrc:/qml/AppGridView.qml")

        mouseClick(listButton)
        compare(window.tabState, "appListView")
        compare(gridButton.selected, false)
        compare(listButton.selected, true)
        compare(child("actionContainer").state, "appListView")
        compare(String(loader.source), "qrc:/qml/AppListView.qml")
        tryVerify(function () { return storedText("tabState") === "appListView" }, 3000)

        stopWindow()
        window = startWindow()
        compare(window.tabState, "appListView")
        compare(child("listButton").selected, true)
        compare(String(child("viewLoader").source), "qrc:/qml/AppListView.qml")

        mouseClick(child("gridButton"))
        compare(window.tabState, "appGridView")
        compare(String(child("viewLoader").source), "qrc:/qml/AppGridView.qml")
        tryVerify(function () { return storedText("tabState") === "appGridView" }, 3000)
    }

    function test_unknownStoredTabLeavesTheViewEmpty() {
        testSupport.storeSetting("tabState", "appTileView")
        window = startWindow()
        compare(window.tabState, "appTileView")
        compare(child("gridButton").selected, false)
        compare(child("listButton").selected, false)
        compare(String(child("viewLoader").source), "")
        compare(child("viewLoader").item, null)
        // Not corrected behind the user's back.
        wait(700)
        compare(storedText("tabState"), "appTileView")

        mouseClick(child("gridButton"))
        compare(String(child("viewLoader").source), "qrc:/qml/AppGridView.qml")
        compare(child("gridButton").selected, true)
    }

    function test_sizeSnapsBack() {
        window = startWindow()
        window.width = 1000
        tryCompare(window, "width", 1280)
        compare(window.height, 900)
        window.height = 1000
        tryCompare(window, "height", 900)
        compare(window.width, 1280)
    }

    function test_layoutOfTheMainArea() {
        window = startWindow()
        var main = child("mainScreenContainer")
        compare(main.width, 1260)
        compare(main.height, 880)
        var titleBar = child("titleBar")
        var header = child("header")
        var container = child("actionContainer")
        var footer = child("footer")
        fuzzyCompare(titleBar.height, 70.4, 0.01)
        fuzzyCompare(header.y, 70.4, 0.01)
        compare(header.height, 88)
        fuzzyCompare(container.y, 158.4, 0.01)
        compare(container.x, 63)
        compare(container.width, 1134)
        compare(footer.y, 880 - 15 - 180)
        compare(container.y + container.height, footer.y)
        compare(footer.width, 1260)
    }

    function test_sortIndicatorIsPaintedInTheGridOnly() {
        testSupport.storeSetting("tabState", "appListView")
        window = startWindow()
        var indicator = child("sortIndicator")
        var popup = child("sortPopup")

        // The window's pixels where the indicator lies.
        function pixelsUnderIndicator() {
            waitForRendering(window.contentItem)
            var image = grabImage(window.contentItem)
            var origin = indicator.mapToItem(window.contentItem, 0, 0)
            var pixels = []
            for (var x = 0; x < indicator.width; ++x) {
                for (var y = 0; y < indicator.height; ++y)
                    pixels.push(String(image.pixel(origin.x + x, origin.y + y)))
            }
            return pixels.join(" ")
        }

        var bare = pixelsUnderIndicator()
        mouseClick(indicator)
        compare(popup.visible, false, "no sort choice in the list view")

        mouseClick(child("gridButton"))
        verify(pixelsUnderIndicator() !== bare, "the indicator shows in the grid view")
        mouseClick(indicator)
        compare(popup.visible, true)
        popup.visible = false

        mouseClick(child("listButton"))
        verify(pixelsUnderIndicator() === bare, "the indicator is gone in the list view")
    }

    function test_sortIndicatorNamesTheChoiceAndTheHeaderAnnouncesIt() {
        window = startWindow()
        var header = child("header")
        // The sort window announced the stored default when it was built.
        compare(header.sortText, "NAME(A-Z)")
        compare(child("sortLabel").text, "SORTING BY: NAME(A-Z)")
        sortingSpy.target = header
        sortingSpy.clear()

        mouseClick(child("sortIndicator"))
        var popup = child("sortPopup")
        compare(popup.visible, true)
        mouseClick(child("downloadButton"))
        compare(popup.visible, false)
        compare(header.sortText, "DOWNLOAD SPEED")
        compare(sortingSpy.count, 1)
        compare(sortingSpy.signalArguments[0][0], OverviewModel.DownloadSpeedRole)
        compare(sortingSpy.signalArguments[0][1], Qt.DescendingOrder)

        // The frame's close button closes without a choice.
        mouseClick(child("sortIndicator"))
        compare(popup.visible, true)
        mouseClick(findChild(popup, "closeButton"))
        compare(popup.visible, false)
        compare(sortingSpy.count, 1)
    }

    function test_footerHelpFollowsTheTab() {
        window = startWindow()
        var help = child("helpMessages")
        var button = child("helpButton")
        help.state = "helpNothingShow"

        mouseClick(button)
        compare(help.state, "helpGridViewShow")

        help.state = "helpNothingShow"
        mouseClick(child("listButton"))
        mouseClick(button)
        compare(help.state, "helpListViewShow")

        help.state = "helpNothingShow"
        window.tabState = "appTileView"
        mouseClick(button)
        compare(help.state, "helpNothingShow")
    }

    function test_settingsButtonOpensTheSettingsWithFocus() {
        window = startWindow()
        var popup = child("popupSettings")
        compare(popup.visible, false)
        mouseClick(child("settingsButton"))
        compare(popup.visible, true)
        compare(popup.focus, true)
        mouseClick(findChild(popup, "closeButton"))
        compare(popup.visible, false)
    }

    function test_titleBarDragsTheWindow() {
        window = startWindow()
        var titleBar = child("titleBar")
        var startX = window.x
        var startY = window.y
        mousePress(titleBar, 600, 20)
        mouseMove(titleBar, 640, 45)
        mouseRelease(titleBar, 640, 45)
        tryCompare(window, "x", startX + 40)
        tryCompare(window, "y", startY + 25)
    }

    function test_closeWithoutTrayQuitsInOrder() {
        window = startWindow()
        verify(!child("sysTray").available, "this test needs a desktop without a tray")
        calls = []
        mouseClick(child("windowCloseButton"))
        compare(calls, ["stream false", "update " + LibClient.UPDATE_STATE_DISABLED, "quit"])
        compare(appController.updateState, LibClient.UPDATE_STATE_DISABLED)
    }

    function test_trayBringsTheWindowBackAndQuits() {
        window = startWindow()
        var menu = child("sysTray").menu
        compare(menu.items.length, 2)
        compare(menu.items[0].text, "Restore")
        compare(menu.items[1].text, "Quit")

        window.hide()
        compare(window.visible, false)
        menu.items[0].triggered()
        tryCompare(window, "visible", true)

        window.hide()
        appController.restoreWindow()
        tryCompare(window, "visible", true)

        // A single click on the icon does nothing; a double click and a
        // click on a balloon bring the window back.
        var tray = child("sysTray")
        window.hide()
        tray.activated(Platform.SystemTrayIcon.Trigger)
        wait(50)
        compare(window.visible, false)
        tray.activated(Platform.SystemTrayIcon.DoubleClick)
        tryCompare(window, "visible", true)
        window.hide()
        tray.messageClicked()
        tryCompare(window, "visible", true)

        calls = []
        menu.items[1].triggered()
        compare(calls, ["stream false", "update " + LibClient.UPDATE_STATE_DISABLED, "quit"])
    }

    function test_theStoredUpdateChoiceIsSentOnceAtEveryStart() {
        testSupport.storeSetting("isUpdateEnable", false)
        window = startWindow()
        compare(calls, ["update " + LibClient.UPDATE_STATE_DISABLED])
        stopWindow()

        calls = []
        testSupport.storeSetting("isUpdateEnable", true)
        window = startWindow()
        compare(calls, ["update " + LibClient.UPDATE_STATE_NO_NEW_VERSION])

        // Unticking CHECK FOR UPDATES stores the choice and tells the service.
        calls = []
        var settings = child("appSettings")
        settings.updateEnable = false
        compare(calls, ["update " + LibClient.UPDATE_STATE_DISABLED])
        compare(window.isUpdateEnable, false)
        tryVerify(function () { return storedText("isUpdateEnable") === "false" }, 3000)
    }

    function test_theFooterChartsAreFedTheControllersSpeeds() {
        window = startWindow()
        var upload = child("uploadChart")
        var download = child("downloadChart")
        appController.uploadSpeed = 45000
        appController.downloadSpeed = 300000
        appController.streamControlEnabled = false
        upload.tick()
        download.tick()
        compare(upload.maxValue, "0.0")
        compare(download.maxValue, "0.0")

        appController.streamControlEnabled = true
        upload.tick()
        download.tick()
        compare(upload.maxValue, "45.0")
        compare(download.valueUnit, "Gbps")
        // The state panel takes the unit of the chart that divides more.
        var panel = child("statePanel")
        compare(panel.valueUnit, "Gbps")
        compare(panel.valueDevider, 1000)
        compare(panel.maxDownloadSpeed, "300.0")
        appController.streamControlEnabled = false
        appController.uploadSpeed = 0
        appController.downloadSpeed = 0
    }

    function test_theFirstStartCourseLeadsIntoTheSettings() {
        window = createWindow()
        var help = child("helpMessages")
        var settings = child("popupSettings")
        compare(help.state, "helpGettingStartedShow")

        // Next: the settings popup with its help over it.
        mouseClick(child("nextLink"))
        compare(help.state, "helpSettingsShow")
        compare(settings.visible, true)
        // OK: the help closes and the settings popup has the focus, so that
        // Escape closes it next.
        mouseClick(child("okLink"))
        compare(help.state, "helpNothingShow")
        compare(settings.visible, true)
        compare(settings.focus, true)
    }

    Component {
        id: startUpProbe

        StartUp {}
    }

    Connections {
        target: appController

        function onSetStreamControlState(enabled) {
            testCase.record("stream " + enabled)
        }

        function onSendUpdateState(state) {
            testCase.record("update " + state)
        }
    }

    SignalSpy {
        id: sortingSpy

        signalName: "sortingChanged"
    }
}
