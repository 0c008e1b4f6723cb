import QtQuick 2.12
import QtTest 1.12
import "qrc:/qml"

// The settings popup: the limit lines, the speed editor (presets in whole
// Mbps, OK sending both limits only after a change, Cancel sending nothing,
// the spin boxes' bounds, the buttons' animations), the detail lines, the
// three options, and the help and about signals.
Item {
    id: root

    width: 500
    height: 600

    // What the popup reads and calls of the main window.
    Item {
        id: rootWindow

        property bool isStartOnStartUpEnabled: false
        property bool showSystemApps: false
        property var startUpCalls: []

        function setStartUpEnable(isEnable) {
            startUpCalls = startUpCalls.concat([isEnable])
            isStartOnStartUpEnabled = isEnable
        }
    }

    Component {
        id: settingsComponent

        AppSettings {
            width: 400
            height: 500
        }
    }

    SignalSpy {
        id: limitSpy

        target: appController
        signalName: "setSpeedLimits"
    }

    SignalSpy {
        id: popupSpy
    }

    TestCase {
        name: "AppSettings"
        when: windowShown

        function createSettings() {
            var settings = createTemporaryObject(settingsComponent, root)
            verify(settings !== null)
            return settings
        }

        function part(settings, name) {
            var found = findChild(settings, name)
            verify(found !== null, "no " + name)
            return found
        }

        function openEditor(settings) {
            mouseClick(part(settings, "setLimitsButton"))
            var editor = part(settings, "speedEditor")
            verify(editor.visible)
            // "OK" and "Cancel" ride on the button down below the editor.
            tryCompare(part(settings, "setLimitsButton"), "y", editor.y + editor.height + 10, 1000)
        }

        function init() {
            appController.uploadSpeedLimit = 0
            appController.downloadSpeedLimit = 0
            appController.routerActivated = false
            appController.adapterName = ""
            appController.ip4Address = ""
            appController.ip6Address = ""
            appController.gateWay = ""
            appController.netMask = ""
            appController.macAddress = ""
            rootWindow.isStartOnStartUpEnabled = false
            rootWindow.showSystemApps = false
            rootWindow.startUpCalls = []
            limitSpy.clear()
        }

        function cleanup() {
            init()
        }

        function test_limitLines() {
            var settings = createSettings()
            var upload = part(settings, "uploadLine")
            var download = part(settings, "downloadLine")
            compare(upload.text, "Upload Speed Limit")
            compare(download.text, "Download Speed Limit")
            compare(upload.value, "0.00 Mbps")
            compare(download.value, "0.00 Mbps")
            appController.uploadSpeedLimit = 1234
            appController.downloadSpeedLimit = 50000
            compare(upload.value, "1.23 Mbps")
            compare(download.value, "50.00 Mbps")
        }

        function test_editorPresetsTheLimitsInWholeMbps() {
            appController.uploadSpeedLimit = 1500
            appController.downloadSpeedLimit = 7000
            var settings = createSettings()
            verify(!part(settings, "speedEditor").visible)
            verify(part(settings, "setLimitsButton").visible)
            openEditor(settings)
            compare(part(settings, "uploadSpin").value, 2)
            compare(part(settings, "downloadSpin").value, 7)
            verify(!part(settings, "setLimitsButton").visible)
            verify(part(settings, "okButton").visible)
            verify(part(settings, "cancelButton").visible)
        }

        function test_okWithoutChangeSendsNothing() {
            appController.uploadSpeedLimit = 20000
            appController.downloadSpeedLimit = 90000
            var settings = createSettings()
            openEditor(settings)
            mouseClick(part(settings, "okButton"))
            compare(limitSpy.count, 0)
            verify(!part(settings, "speedEditor").visible)
            verify(part(settings, "setLimitsButton").visible)
        }

        function test_oneChangeSendsBothDownloadFirst() {
            appController.uploadSpeedLimit = 20000
            appController.downloadSpeedLimit = 90000
            var settings = createSettings()
            openEditor(settings)
            part(settings, "uploadSpin").value = 25
            mouseClick(part(settings, "okButton"))
            compare(limitSpy.count, 1)
            compare(limitSpy.signalArguments[0][0], 90000)
            compare(limitSpy.signalArguments[0][1], 25000)
            // The controller took them over; the line shows them at once.
            compare(part(settings, "uploadLine").value, "25.00 Mbps")
            compare(part(settings, "downloadLine").value, "90.00 Mbps")

            openEditor(settings)
            part(settings, "downloadSpin").value = 100
            mouseClick(part(settings, "okButton"))
            compare(limitSpy.count, 2)
            compare(limitSpy.signalArguments[1][0], 100000)
            compare(limitSpy.signalArguments[1][1], 25000)
        }

        // A limit of 1500 kbps opens as 2 Mbps: OK then sends 2000.
        function test_okAfterARoundedPresetSendsTheRoundedLimit() {
            appController.uploadSpeedLimit = 1500
            appController.downloadSpeedLimit = 3000
            var settings = createSettings()
            openEditor(settings)
            mouseClick(part(settings, "okButton"))
            compare(limitSpy.count, 1)
            compare(limitSpy.signalArguments[0][0], 3000)
            compare(limitSpy.signalArguments[0][1], 2000)
        }

        function test_typedValueIsSent() {
            appController.uploadSpeedLimit = 20000
            appController.downloadSpeedLimit = 90000
            var settings = createSettings()
            openEditor(settings)
            var spin = part(settings, "downloadSpin")
            mouseClick(spin)
            keySequence(StandardKey.SelectAll)
            keyClick(Qt.Key_4)
            keyClick(Qt.Key_5)
            mouseClick(part(settings, "okButton"))
            compare(limitSpy.count, 1)
            compare(limitSpy.signalArguments[0][0], 45000)
            compare(limitSpy.signalArguments[0][1], 20000)
        }

        function test_cancelSendsNothingAndForgetsTheEdit() {
            appController.uploadSpeedLimit = 20000
            appController.downloadSpeedLimit = 90000
            var settings = createSettings()
            openEditor(settings)
            part(settings, "uploadSpin").value = 33
            mouseClick(part(settings, "cancelButton"))
            compare(limitSpy.count, 0)
            verify(!part(settings, "speedEditor").visible)
            compare(part(settings, "uploadLine").value, "20.00 Mbps")

            openEditor(settings)
            compare(part(settings, "uploadSpin").value, 20)
        }

        function test_spinBoxBounds() {
            var settings = createSettings()
            openEditor(settings)
            var spins = [part(settings, "uploadSpin"), part(settings, "downloadSpin")]
            for (var i = 0; i < spins.length; ++i) {
                spins[i].value = 10001
                compare(spins[i].value, 10000)
                mouseClick(spins[i])
                keyClick(Qt.Key_Up)
                compare(spins[i].value, 10000)
                spins[i].value = -5
                compare(spins[i].value, 0)
                keyClick(Qt.Key_Down)
                compare(spins[i].value, 0)
                keyClick(Qt.Key_Up)
                compare(spins[i].value, 1)
            }
        }

        function test_buttonsMoveAndFadeIn() {
            var settings = createSettings()
            var button = part(settings, "setLimitsButton")
            var editor = part(settings, "speedEditor")
            var ok = part(settings, "okButton")
            var closedY = button.y
            mouseClick(button)
            // Both still on their way.
            verify(ok.opacity < 1)
            verify(button.y < editor.y + editor.height)
            tryCompare(button, "y", editor.y + editor.height + 10, 1000)
            tryCompare(ok, "opacity", 1, 2000)
            compare(ok.y, button.y)
            compare(ok.width, button.width / 2 - 2)

            mouseClick(ok)
            tryCompare(button, "y", closedY, 1000)
        }

        function test_detailLines() {
            var settings = createSettings()
            var line = part(settings, "routerLine")
            var lines = line.parent.children
            var labels = []
            for (var i = 0; i < lines.length; ++i)
                labels.push(lines[i].text)
            compare(labels, ["ADAPTER", "IP ADDRESS", "IP V6 ADDRESS", "GATEWAY", "NETMASK", "MAC ADDRESS", "VLROUTER"])

            appController.adapterName = "Kestrix E3100"
            appController.ip4Address = "192.168.1.23"
            appController.ip6Address = "fe80::1"
            appController.gateWay = "192.168.1.1"
            appController.netMask = "255.255.255.0"
            appController.macAddress = "00:1A:2B:3C:4D:5E"
            var values = []
            for (var j = 0; j < lines.length; ++j)
                values.push(lines[j].value)
            compare(values, ["Kestrix E3100", "192.168.1.23", "fe80::1", "192.168.1.1", "255.255.255.0",
                             "00:1A:2B:3C:4D:5E", "INACTIVE"])

            appController.routerActivated = true
            compare(line.value, "ACTIVE")
            // An address the controller does not know shows empty.
            appController.ip6Address = ""
            compare(lines[2].value, "")
        }

        function test_runOnStartupFollowsAndSetsTheWindowsState() {
            rootWindow.isStartOnStartUpEnabled = true
            var settings = createSettings()
            var box = part(settings, "startupBox")
            compare(box.checked, true)
            mouseClick(box)
            compare(rootWindow.startUpCalls, [false])
            compare(box.checked, false)
            // The box keeps following the window after a click.
            rootWindow.isStartOnStartUpEnabled = true
            compare(box.checked, true)
            mouseClick(box)
            mouseClick(box)
            compare(rootWindow.startUpCalls, [false, false, true])
        }

        function test_showSystemApplications() {
            var settings = createSettings()
            var box = part(settings, "systemAppsBox")
            compare(box.checked, false)
            mouseClick(box)
            compare(rootWindow.showSystemApps, true)
            mouseClick(box)
            compare(rootWindow.showSystemApps, false)
            rootWindow.showSystemApps = true
            compare(box.checked, true)
        }

        // Storing and sending the choice is the main window's part; the
        // popup exposes every change through updateEnable.
        function test_checkForUpdatesIsExposed() {
            var settings = createSettings()
            var box = part(settings, "updatesBox")
            popupSpy.target = settings
            popupSpy.signalName = "updateEnableChanged"
            popupSpy.clear()
            settings.updateEnable = true
            compare(box.checked, true)
            compare(popupSpy.count, 1)
            mouseClick(box)
            compare(settings.updateEnable, false)
            compare(popupSpy.count, 2)
            mouseClick(box)
            compare(settings.updateEnable, true)
            compare(popupSpy.count, 3)
            popupSpy.target = null
        }

        function test_helpAndAbout() {
            var settings = createSettings()
            popupSpy.target = settings
            popupSpy.signalName = "helpPressed"
            popupSpy.clear()
            mouseClick(part(settings, "helpButton"))
            compare(popupSpy.count, 1)

            popupSpy.signalName = "aboutPressed"
            popupSpy.clear()
            mouseClick(part(settings, "aboutButton"))
            compare(popupSpy.count, 1)
            popupSpy.target = null
        }
    }
}
