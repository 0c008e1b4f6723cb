import QtQuick 2.12
import QtTest 1.12
import org.netvane.data 1.0
import "qrc:/qml"

// The small pieces the views are built of, on their own: the speed bar, the
// pin button, a column title and the priority choice; and the views created
// without the main window around them.
Item {
    id: root

    width: 800
    height: 600

    Component {
        id: speedComponent

        SpeedItem {
            width: 200
        }
    }

    Component {
        id: pinComponent

        PinItem {
            width: 25
            height: 25
        }
    }

    Component {
        id: titleComponent

        TableHeaderItem {
            text: "Upload speed"
        }
    }

    Component {
        id: choiceComponent

        PriorityItem {
            x: 20
            y: 20
        }
    }

    Component {
        id: gridComponent

        AppGridView {
            width: 760
            height: 500
        }
    }

    Component {
        id: listComponent

        AppListView {
            width: 760
            height: 500
        }
    }

    Component {
        id: signalSpyComponent

        SignalSpy {}
    }

    TestCase {
        id: testCase

        name: "Widgets"
        when: windowShown

        function spy(target, signalName) {
            return createTemporaryObject(signalSpyComponent, testCase, { target: target, signalName: signalName })
        }

        function test_speedBarFillsItsShare() {
            var bar = createTemporaryObject(speedComponent, root, { speedLimit: 4, actualSpeed: 1 })
            compare(bar.height, 25)
            var fill = findChild(bar, "fill")
            compare(fill.width, 50)
            bar.actualSpeed = 6
            compare(bar.fillRatio, 1)
            // A range of zero shows an empty bar.
            bar.speedLimit = 0
            compare(bar.fillRatio, 0)
            compare(fill.width, 0)
        }

        function test_speedBarAnimatesOverTwoSeconds() {
            var bar = createTemporaryObject(speedComponent, root, { speedLimit: 10, actualSpeed: 0 })
            var fill = findChild(bar, "fill")
            compare(fill.width, 0)
            bar.actualSpeed = 5
            compare(bar.fillRatio, 0.5)
            wait(800)
            verify(fill.width > 0 && fill.width < 100, "width after 800 ms: " + fill.width)
            // The slide moves in whole pixels: a frame in which no bar
            // crosses a pixel changes nothing on the screen.
            compare(fill.width, Math.round(fill.width))
            tryCompare(fill, "width", 100, 2000)
            bar.speedLimit = 7
            bar.actualSpeed = 1
            tryCompare(fill, "width", 29, 3000)   // 200 * 1/7 = 28.57
        }

        function test_speedBarText() {
            var bar = createTemporaryObject(speedComponent, root, { valueText: "U 1.5 Mbps", valueTextSize: 12 })
            var label = findChild(bar, "valueText")
            compare(label.text, "U 1.5 Mbps")
            compare(label.font.pixelSize, 12)
            compare(label.x, 3)
            compare(String(label.color), "#ffffff")
        }

        function test_pinButtonReportsClicksOnly() {
            var pin = createTemporaryObject(pinComponent, root)
            var clicks = spy(pin, "clicked")
            compare(findChild(pin, "image").source, "qrc:/res/pin_off.png")
            mouseClick(pin, 2, 2)
            compare(clicks.count, 1)
            // The owner decides; the button itself stays as it was.
            verify(!pin.pinned)
            pin.pinned = true
            compare(findChild(pin, "image").source, "qrc:/res/pin_on.png")
        }

        function test_columnTitle() {
            var title = createTemporaryObject(titleComponent, root)
            var clicks = spy(title, "clicked")
            compare(title.height, 35)
            compare(findChild(title, "title").text, "UPLOAD SPEED")
            var arrow = findChild(title, "sortArrow")
            verify(!arrow.visible)
            title.selected = true
            verify(arrow.visible)
            compare(arrow.source, "qrc:/res/arrow_up.png")
            compare(arrow.width, 35)
            title.sortOrder = Qt.DescendingOrder
            compare(arrow.source, "qrc:/res/arrow_down.png")
            // The arrow takes clicks too, over the full height.
            mouseClick(arrow, arrow.width / 2, 1)
            compare(clicks.count, 1)
            mouseClick(findChild(title, "title"))
            compare(clicks.count, 2)
            title.iconVisible = false
            verify(!arrow.visible)
        }

        function test_priorityChoiceReportsPicksOnly() {
            var choice = createTemporaryObject(choiceComponent, root, { comboIndex: 2 })
            var updates = spy(choice, "comboUpdated")
            compare(choice.displayText, "NORMAL")
            compare(choice.count, 4)
            compare(choice.textAt(0), "CRITICAL")
            compare(choice.textAt(3), "LOW")
            choice.comboIndex = 1
            compare(choice.displayText, "HIGH")
            compare(updates.count, 0)
            // A pick by the user is reported ...
            choice.forceActiveFocus()
            keyClick(Qt.Key_Down)
            compare(updates.count, 1)
            compare(updates.signalArguments[0][0], 2)
            // ... and the choice keeps showing what its owner holds.
            compare(choice.displayText, "HIGH")
            choice.comboIndex = 2
            compare(choice.displayText, "NORMAL")
        }

        function test_viewsWithoutTheWindow() {
            testSupport.clearItems()
            appController.streamControlEnabled = true
            testSupport.addItem(1, 1, "ordinary.exe", 1, false, 0)
            testSupport.addItem(2, 1, "system.exe", 1, false, 3)
            var grid = createTemporaryObject(gridComponent, root)
            var critical = findChild(grid, "criticalRow")
            compare(grid.sortSource, null)
            compare(critical.popupLayer, null)
            compare(critical.count, 1)
            critical.showSystemApps = true
            compare(critical.count, 2)
            compare(grid.opacity, 1)
            grid.visible = false
            compare(grid.opacity, 0)
            grid.destroy()

            var list = createTemporaryObject(listComponent, root)
            compare(findChild(list, "lines").count, 1)
            list.showSystemApps = true
            compare(findChild(list, "lines").count, 2)
            compare(list.opacity, 1)
            list.visible = false
            compare(list.opacity, 0)
            testSupport.clearItems()
        }
    }
}
