import QtQuick 2.12
import QtTest 1.12
import "qrc:/qml"

// The state panel: its state line in the three cases, the stream-control
// switch (one request per click, none while the service is not ready, the
// position following the controller), the request at creation after a start
// at logon, and the rates it passes to its two rate displays.
Item {
    id: root

    width: 400
    height: 300

    // What the panel reads of the main window.
    Item {
        id: rootWindow

        property bool streamDetectEnabled: appController.streamControlEnabled
        property bool isNeedServiceEnable: false
    }

    Component {
        id: panelComponent

        ServiceState {
            width: 850 / 3
            height: 169
        }
    }

    SignalSpy {
        id: requestSpy

        target: appController
        signalName: "setStreamControlState"
    }

    TestCase {
        name: "ServiceState"
        when: windowShown

        function createPanel() {
            var panel = createTemporaryObject(panelComponent, root)
            verify(panel !== null)
            return panel
        }

        function init() {
            appController.serverReady = false
            appController.nicReady = false
            appController.nicStateStr = ""
            appController.streamControlEnabled = false
            rootWindow.isNeedServiceEnable = false
            requestSpy.clear()
        }

        function cleanup() {
            init()
        }

        function test_stateLine() {
            var panel = createPanel()
            var line = findChild(panel, "stateLine")
            appController.nicStateStr = "DRIVER IS NOT INSTALLED"
            compare(line.text, "SERVICE IS NOT READY")
            appController.nicReady = true
            compare(line.text, "SERVICE IS NOT READY")

            appController.serverReady = true
            compare(line.text, "")

            appController.nicReady = false
            compare(line.text, "DRIVER IS NOT INSTALLED")
            appController.nicStateStr = "CABLE UNPLUGGED"
            compare(line.text, "CABLE UNPLUGGED")
        }

        function test_clickSendsOneRequestWithTheNewPosition() {
            appController.serverReady = true
            var panel = createPanel()
            var toggle = findChild(panel, "streamSwitch")
            verify(toggle.enabled)
            compare(toggle.checked, false)

            mouseClick(toggle)
            compare(requestSpy.count, 1)
            compare(requestSpy.signalArguments[0][0], true)
            // The controller took the request over; the switch agrees.
            compare(appController.streamControlEnabled, true)
            compare(toggle.checked, true)

            mouseClick(toggle)
            compare(requestSpy.count, 2)
            compare(requestSpy.signalArguments[1][0], false)
            compare(toggle.checked, false)
        }

        function test_disabledWhileTheServiceIsNotReady() {
            var panel = createPanel()
            var toggle = findChild(panel, "streamSwitch")
            verify(!toggle.enabled)
            mouseClick(toggle)
            compare(requestSpy.count, 0)
            compare(toggle.checked, false)

            appController.serverReady = true
            verify(toggle.enabled)
            appController.serverReady = false
            verify(!toggle.enabled)
        }

        function test_followsTheController() {
            appController.streamControlEnabled = true
            var panel = createPanel()
            var toggle = findChild(panel, "streamSwitch")
            compare(toggle.checked, true)
            appController.streamControlEnabled = false
            compare(toggle.checked, false)

            // After a click the switch still follows later changes.
            appController.serverReady = true
            mouseClick(toggle)
            compare(toggle.checked, true)
            appController.streamControlEnabled = false
            compare(toggle.checked, false)
            appController.streamControlEnabled = true
            compare(toggle.checked, true)
            compare(requestSpy.count, 1)
        }

        function test_startAtLogonSwitchesStreamControlOnOnce() {
            createPanel()
            compare(requestSpy.count, 0)

            // Whether or not the service is ready yet.
            rootWindow.isNeedServiceEnable = true
            createPanel()
            compare(requestSpy.count, 1)
            compare(requestSpy.signalArguments[0][0], true)
            wait(50)
            compare(requestSpy.count, 1)
        }

        function test_ratesReachTheRateDisplays() {
            var panel = createPanel()
            panel.roundedUploadSpeed = "12.0"
            panel.roundedDownloadSpeed = "34.0"
            panel.maxUploadSpeed = "300.0"
            panel.maxDownloadSpeed = "56.0"
            panel.valueUnit = "Gbps"
            panel.valueDevider = 1000

            var average = findChild(panel, "averageRate")
            var maximum = findChild(panel, "maxRate")
            compare(findChild(average, "downloadText").text, "0.0")
            compare(findChild(average, "uploadText").text, "0.0")
            compare(findChild(maximum, "downloadText").text, "0.1")
            compare(findChild(maximum, "uploadText").text, "0.3")
            compare(findChild(maximum, "unitText").text, "Gbps")

            panel.valueUnit = "Mbps"
            panel.valueDevider = 1
            compare(findChild(average, "downloadText").text, "34.0")
            compare(findChild(average, "uploadText").text, "12.0")
            compare(findChild(maximum, "downloadText").text, "56.0")
            compare(findChild(maximum, "uploadText").text, "300.0")
            compare(findChild(average, "unitText").text, "Mbps")
        }
    }
}
