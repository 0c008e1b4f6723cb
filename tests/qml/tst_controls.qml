import QtQuick 2.12
import QtTest 1.12
import "qrc:/qml"

// Pieces of the window on their own: a popup blocks what lies beneath it,
// the stream-control switch sends one request per click, and a speed bar
// slides in whole pixels.
Item {
    id: root

    width: 800
    height: 600

    // What the state panel reads of the main window.
    QtObject { id: mainStub; property bool streamDetectEnabled: appController.streamControlEnabled; property bool isNeedServiceEnable: false }

    Component {
        id: popupComponent

        Item {
            property alias popup: popup
            property int clicksBeneath: 0

            anchors.fill: parent

            MouseArea {
                anchors.fill: parent
                onClicked: parent.clicksBeneath++
            }

            CustomPopup {
                id: popup

                anchors.fill: parent
                windowlessItem: content

                Item {
                    id: content

                    anchors.centerIn: parent
                    width: 300
                    height: 150
                    visible: popup.visible
                }
            }
        }
    }

    // A window that the window manager moves (systemMove) or not.
    QtObject { id: windowStub; property real x; property real y; property bool systemMove; property int systemMoves
               function startSystemMove() { systemMoves++; return systemMove } }
    Component { id: titleBarComponent; CustomTitleBar { width: 700; height: 70; mainWindow: windowStub } }
    Component { id: panelComponent; ServiceState { width: 850 / 3; height: 169; mainWindow: mainStub } }
    Component { id: barComponent; SpeedItem { width: 200; speedLimit: 10 } }
    SignalSpy { id: requestSpy; target: appController; signalName: "setStreamControlState" }

    TestCase {
        name: "Controls"
        when: windowShown

        function test_popupBlocksClicksBeneath() {
            var host = createTemporaryObject(popupComponent, root)
            mouseClick(host, 20, 20)
            mouseClick(host, 20, 20, Qt.RightButton)
            compare(host.clicksBeneath, 0)
            compare(host.popup.visible, true, "a click on the dimmed area does not close the popup")
            host.popup.visible = false
            mouseClick(host, 20, 20)
            compare(host.clicksBeneath, 1)
        }

        // The controller takes each request over at once; the switch agrees.
        function test_streamSwitchSendsOneRequestPerClick() {
            appController.streamControlEnabled = false
            appController.serverReady = true
            requestSpy.clear()
            var toggle = findChild(createTemporaryObject(panelComponent, root), "streamSwitch")
            mouseClick(toggle)
            mouseClick(toggle)
            compare(requestSpy.signalArguments.map(function (a) { return a[0] }), [true, false])
            compare(toggle.checked, false)
            appController.serverReady = false
            mouseClick(toggle)
            compare(requestSpy.count, 2, "no request while the service is not ready")
        }

        // Wayland ignores a window's own changes of x and y.
        function test_titleBarMovesTheWindow_data() {
            return [{ tag: "by the window manager", systemMove: true, moved: Qt.point(0, 0) },
                    { tag: "where it cannot, by the bar", systemMove: false, moved: Qt.point(30, 20) }]
        }

        function test_titleBarMovesTheWindow(data) {
            windowStub.x = windowStub.y = windowStub.systemMoves = 0
            windowStub.systemMove = data.systemMove
            var bar = createTemporaryObject(titleBarComponent, root)
            mousePress(bar, 300, 20)
            mouseMove(bar, 330, 40, -1, Qt.LeftButton)
            mouseRelease(bar, 330, 40)
            compare(windowStub.systemMoves, 1)
            compare(Qt.point(windowStub.x, windowStub.y), data.moved)
        }

        // A frame in which no bar crosses a pixel leaves the scene unchanged.
        function test_speedBarSlidesInWholePixels() {
            var bar = createTemporaryObject(barComponent, root)
            var fill = findChild(bar, "fill")
            var widths = []
            bar.actualSpeed = 5
            for (var i = 0; i < 10; ++i) {
                wait(97)
                widths.push(fill.width)
            }
            verify(widths[0] > 0 && widths[9] < 100, "sliding: " + widths)
            compare(widths.filter(function (w) { return w !== Math.round(w) }), [])
            tryCompare(fill, "width", 100, 3000)
        }
    }
}
