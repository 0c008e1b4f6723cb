import QtQuick 2.12
import QtTest 1.12
import org.netvane.data 1.0
import "qrc:/qml"

// The grid over the real OverviewModel: the rows' level filter, and moving an
// application by dragging its tile. The root stands in for the main window's
// content area.
Item {
    id: mainScreenContainer

    width: 1260
    height: 700

    // The other ids of the main window the grid uses.
    QtObject { id: rootWindow; property bool showSystemApps: false }
    QtObject { id: header; property int sortColumn: OverviewModel.AppNameRole; property int sortOrder: Qt.AscendingOrder }
    Item { id: topItem }
    Component { id: gridComponent; AppGridView { x: 63; y: 10; width: 1134; height: 509 } }
    Component { id: spyComponent; SignalSpy {} }
    SignalSpy { id: appChangedSpy; target: appController.overviewModel(); signalName: "appChanged" }

    TestCase {
        id: testCase

        name: "GridView"
        when: windowShown

        function init() {
            testSupport.clearItems()
            appController.streamControlEnabled = true
            appChangedSpy.clear()
        }

        function rows() {
            var grid = createTemporaryObject(gridComponent, mainScreenContainer)
            waitForRendering(grid)
            return ["criticalRow", "highRow", "normalRow", "lowRow"].map(function (name) { return findChild(grid, name) })
        }

        function tiles(row) {
            var list = findChild(row, "tileList")
            list.forceLayout()
            return Array.from({ length: list.count }, function (_, i) { return list.itemAtIndex(i) })
        }

        function names(row) {
            return tiles(row).map(function (item) { return item.tile.displayedName })
        }

        function modelRow(id) {
            var model = appController.overviewModel()
            for (var row = 0; row < model.rowCount(); ++row) {
                var index = model.index(row, 0)
                if (model.data(index, OverviewModel.AppIdRole) === id)
                    return { pin: model.data(index, OverviewModel.PinRole), priority: model.data(index, OverviewModel.PriorityRole) }
            }
            return null
        }

        // "^" + level + "$": 11 and 21 belong to no row, 1 only to the first.
        function test_levelFilterIsAnchored() {
            var levels = [1, 2, 3, 4, 11, 21]
            for (var i = 0; i < levels.length; ++i)
                testSupport.addItem(i + 1, 1, "level" + levels[i] + ".exe", levels[i])
            var all = rows()
            compare(all.map(names), [["LEVEL1"], ["LEVEL2"], ["LEVEL3"], ["LEVEL4"]])
        }

        // The model's get() hands the pin over as a string: "true" stays a pin.
        function test_dragAndDrop_data() {
            return [
                { tag: "pinned application onto the low row", type: 1, from: 1, pin: true, to: 3, level: 4, changes: 1 },
                { tag: "site onto the high row", type: 2, from: 1, pin: false, to: 1, level: 2, changes: 1 },
                { tag: "onto its own row: the same level again", type: 1, from: 3, pin: true, to: 2, level: 3, changes: 1 },
                { tag: "released outside every row", type: 1, from: 2, pin: false, to: -1, level: 2, changes: 0 },
                { tag: "removed while dragged", type: 1, from: 1, pin: false, to: 3, remove: true, changes: 0 }
            ]
        }

        function test_dragAndDrop(data) {
            testSupport.addItem(1, data.type, "game", data.from, data.pin)
            testSupport.addItem(2, 1, "zulu.exe", 2)
            var all = rows()
            var dragItem = tiles(all[data.from - 1])[0]
            compare(dragItem.tile.appName, "game")
            var dropped = createTemporaryObject(spyComponent, testCase, { target: all[Math.max(data.to, 0)], signalName: "dropped" })
            var target = data.to < 0 ? Qt.point(600, 650)
                                     : all[data.to].mapToItem(mainScreenContainer, all[data.to].width * 0.7, all[data.to].height / 2)

            // Press the tile's centre and move in steps, leaving it pressed.
            var from = dragItem.mapToItem(mainScreenContainer, dragItem.width / 2, dragItem.height / 2)
            mousePress(mainScreenContainer, from.x, from.y)
            for (var step = 1; step <= 12; ++step)
                mouseMove(mainScreenContainer, from.x + (target.x - from.x) * step / 12, from.y + (target.y - from.y) * step / 12, 5, Qt.LeftButton)
            wait(20)   // the drag reports its moves to the drop areas through posted events
            verify(dragItem.dragActive)
            compare(dragItem.tile.parent, mainScreenContainer, "a dragged tile travels in the content area")
            if (data.remove) {
                appController.overviewModel().remove(1, data.type)
                tryCompare(dropped, "count", 1)
            }
            mouseRelease(mainScreenContainer, target.x, target.y)

            compare(appChangedSpy.count, data.changes)
            compare(modelRow(2), { pin: false, priority: 2 })
            if (data.remove)
                return compare(dropped.count, 1)
            compare(modelRow(1), { pin: data.pin, priority: data.level })
            verify(names(all[data.level - 1]).indexOf("GAME") >= 0)
            if (data.level === data.from) {
                compare(dragItem.tile.parent, dragItem, "the tile came back into its entry")
                compare(Qt.point(dragItem.tile.x, dragItem.tile.y), Qt.point(0, 0))
            }
        }
    }
}
