import QtQuick 2.12
import QtTest 1.12
import org.netvane.data 1.0
import "qrc:/qml"

// The grid of priority rows over the real OverviewModel: which application
// lands in which row, placeholders and arrows, sorting, tiles, the help
// popup, and moving applications between rows by dragging their tiles.
// The root stands in for the main window's content area; the ids the views
// reach in the real window are declared here under the same names.
Item {
    id: mainScreenContainer

    width: 1260
    height: 700

    QtObject {
        id: rootWindow

        property bool showSystemApps: false
    }

    QtObject {
        id: header

        signal sortingChanged(int sortColumn, int sortOrder)
    }

    Component {
        id: gridComponent

        AppGridView {
            x: 63
            y: 10
            width: 1134
            height: 509
        }
    }

    // The main window's top layer, above everything in the content area.
    Item {
        id: topItem

        anchors.fill: parent
        z: 100
    }

    SignalSpy {
        id: appChangedSpy

        target: appController.overviewModel()
        signalName: "appChanged"
    }

    TestCase {
        id: testCase

        name: "GridView"
        when: windowShown

        property var model: appController.overviewModel()

        function init() {
            testSupport.clearItems()
            rootWindow.showSystemApps = false
            appController.streamControlEnabled = true
            appController.uploadSpeedLimit = 10000
            appController.downloadSpeedLimit = 10000
            appChangedSpy.clear()
        }

        function cleanup() {
            testSupport.clearItems()
        }

        function createGrid() {
            var grid = createTemporaryObject(gridComponent, mainScreenContainer)
            verify(grid)
            waitForRendering(grid)
            return grid
        }

        function rows(grid) {
            return [findChild(grid, "criticalRow"), findChild(grid, "highRow"),
                    findChild(grid, "normalRow"), findChild(grid, "lowRow")]
        }

        function counts(grid) {
            return rows(grid).map(function(row) { return row.count })
        }

        function dragItemAt(row, index) {
            var list = findChild(row, "tileList")
            list.forceLayout()
            return list.itemAtIndex(index)
        }

        // The displayed names of a row's tiles, in the row's order.
        function namesOf(row) {
            var list = findChild(row, "tileList")
            list.forceLayout()
            var names = []
            for (var i = 0; i < list.count; ++i)
                names.push(list.itemAtIndex(i).tile.displayedName)
            return names
        }

        // The row of the model with this id, as the model holds it.
        function modelRow(id) {
            for (var row = 0; row < model.rowCount(); ++row) {
                var index = model.index(row, 0)
                if (model.data(index, OverviewModel.AppIdRole) == id)
                    return { pin: model.data(index, OverviewModel.PinRole),
                             priority: model.data(index, OverviewModel.PriorityRole) }
            }
            return null
        }

        function rowData(count) {
            var data = []
            for (var i = 0; i < count; ++i)
                data.push(i)
            return data
        }

        function addApps(count, priority) {
            for (var i = 0; i < count; ++i)
                testSupport.addItem(100 + i, 1, "app" + i + ".exe", priority, false, 0, 0, 0)
        }

        // Presses the tile's centre, moves the pointer in steps to (x, y) of
        // the content area and leaves it pressed there.
        function startDrag(dragItem, x, y) {
            var from = dragItem.mapToItem(mainScreenContainer, dragItem.width / 2, dragItem.height / 2)
            mousePress(mainScreenContainer, from.x, from.y)
            var steps = 12
            for (var i = 1; i <= steps; ++i)
                mouseMove(mainScreenContainer, from.x + (x - from.x) * i / steps,
                          from.y + (y - from.y) * i / steps, 5, Qt.LeftButton)
            // The drag reports its moves to drop areas through posted events.
            wait(20)
        }

        function centreOf(item) {
            return item.mapToItem(mainScreenContainer, item.width / 2, item.height / 2)
        }

        function test_levelFilterIsAnchored() {
            testSupport.addItem(1, 1, "one.exe", 1)
            testSupport.addItem(2, 1, "two.exe", 2)
            testSupport.addItem(3, 2, "three.org", 3)
            testSupport.addItem(4, 1, "four.exe", 4)
            testSupport.addItem(11, 1, "eleven.exe", 11)
            testSupport.addItem(21, 1, "twentyone.exe", 21)
            var grid = createGrid()
            compare(counts(grid), [1, 1, 1, 1])
            var all = rows(grid)
            compare(namesOf(all[0]), ["ONE"])
            compare(namesOf(all[1]), ["TWO"])
            compare(namesOf(all[2]), ["THREE.ORG"])
            compare(namesOf(all[3]), ["FOUR"])
        }

        function test_systemApplicationsHiddenUnlessShown() {
            testSupport.addItem(1, 1, "ordinary.exe", 2, false, 0)
            testSupport.addItem(2, 1, "system.exe", 2, false, 1)
            testSupport.addItem(3, 1, "tenth.exe", 2, false, 10)
            var grid = createGrid()
            var high = rows(grid)[1]
            // "0" is searched in the class's text: classes 0 and 10 pass.
            compare(namesOf(high), ["ORDINARY", "TENTH"])
            rootWindow.showSystemApps = true
            compare(high.count, 3)
            compare(namesOf(high), ["ORDINARY", "SYSTEM", "TENTH"])
            rootWindow.showSystemApps = false
            compare(high.count, 2)
        }

        function test_sortFollowsHeader() {
            testSupport.addItem(1, 1, "bravo.exe", 3, false, 0, 300)
            testSupport.addItem(2, 1, "alpha.exe", 3, false, 0, 100)
            testSupport.addItem(3, 1, "charlie.exe", 3, false, 0, 200)
            testSupport.addItem(4, 1, "zulu.exe", 3, true, 0, 50)
            var grid = createGrid()
            var normal = rows(grid)[2]
            compare(grid.sortColumn, OverviewModel.AppNameRole)
            compare(grid.sortOrder, Qt.AscendingOrder)
            // Pinned first, then by name.
            compare(namesOf(normal), ["ZULU", "ALPHA", "BRAVO", "CHARLIE"])
            header.sortingChanged(OverviewModel.UploadSpeedRole, Qt.DescendingOrder)
            compare(grid.sortColumn, OverviewModel.UploadSpeedRole)
            compare(grid.sortOrder, Qt.DescendingOrder)
            compare(normal.sortColumn, OverviewModel.UploadSpeedRole)
            compare(namesOf(normal), ["ZULU", "BRAVO", "CHARLIE", "ALPHA"])
            header.sortingChanged(OverviewModel.AppNameRole, Qt.DescendingOrder)
            compare(namesOf(normal), ["ZULU", "CHARLIE", "BRAVO", "ALPHA"])
        }

        function test_placeholdersAndArrows_data() {
            return [
                { tag: "two applications", apps: 2, stream: true, placeholders: true, arrows: false },
                { tag: "five applications", apps: 5, stream: true, placeholders: true, arrows: false },
                { tag: "seven applications", apps: 7, stream: true, placeholders: false, arrows: true },
                { tag: "seven, stream control off", apps: 7, stream: false, placeholders: true, arrows: false },
                { tag: "two, stream control off", apps: 2, stream: false, placeholders: true, arrows: false }
            ]
        }

        function test_placeholdersAndArrows(data) {
            appController.streamControlEnabled = data.stream
            addApps(data.apps, 1)
            var grid = createGrid()
            var row = rows(grid)[0]
            verify(row.capacity > 5 && row.capacity < 6, "capacity " + row.capacity)
            var placeholders = findChild(row, "placeholderList")
            var tiles = findChild(row, "tileList")
            compare(placeholders.count, 5)
            compare(placeholders.visible, data.placeholders)
            compare(findChild(row, "leftArrow").visible, data.arrows)
            compare(findChild(row, "rightArrow").visible, data.arrows)
            compare(tiles.visible, data.stream)
            compare(tiles.count, data.apps)
            compare(tiles.interactive, data.apps > 5)
            // The other rows are empty: placeholders only, never arrows.
            var low = rows(grid)[3]
            verify(findChild(low, "placeholderList").visible)
            verify(!findChild(low, "rightArrow").visible)
        }

        function test_streamControlSwitchesTiles() {
            addApps(7, 2)
            var grid = createGrid()
            var row = rows(grid)[1]
            verify(findChild(row, "tileList").visible)
            verify(findChild(row, "rightArrow").visible)
            appController.streamControlEnabled = false
            verify(!findChild(row, "tileList").visible)
            verify(!findChild(row, "rightArrow").visible)
            verify(findChild(row, "placeholderList").visible)
        }

        function test_arrowsFlickTheRow() {
            addApps(7, 1)
            var grid = createGrid()
            var row = rows(grid)[0]
            var tiles = findChild(row, "tileList")
            var left = findChild(row, "leftArrowArea")
            var right = findChild(row, "rightArrowArea")
            verify(tiles.atXBeginning)
            // At the beginning the left arrow does nothing.
            mouseClick(left)
            verify(!tiles.flicking)
            compare(tiles.contentX, tiles.originX)
            mouseClick(right)
            verify(tiles.flicking)
            tryCompare(tiles, "moving", false, 5000)
            verify(tiles.contentX > tiles.originX, "contentX " + tiles.contentX)
            var step = row.appListElementWidth + 10
            var stops = (tiles.contentX - tiles.originX) / step
            // Snapped to whole tiles.
            fuzzyCompare(stops, Math.round(stops), 0.01)
            mouseClick(left)
            verify(tiles.flicking)
            tryCompare(tiles, "moving", false, 5000)
            verify(tiles.atXBeginning)
            // At the end the right arrow does nothing.
            tiles.positionViewAtEnd()
            verify(tiles.atXEnd)
            var end = tiles.contentX
            mouseClick(right)
            verify(!tiles.flicking)
            compare(tiles.contentX, end)
        }

        function test_displayedNames() {
            testSupport.addItem(1, 1, "game.exe", 1)
            testSupport.addItem(2, 1, "tool.exe.old", 2)
            testSupport.addItem(3, 1, "GAME.EXE", 3)
            testSupport.addItem(4, 1, "a_name_far_too_long_for_any_tile_at_all.exe", 4)
            var grid = createGrid()
            var all = rows(grid)
            compare(namesOf(all[0]), ["GAME"])
            compare(namesOf(all[1]), ["TOOL"])
            compare(namesOf(all[2]), ["GAME.EXE"])
            var longName = findChild(dragItemAt(all[3], 0), "displayedName")
            compare(longName.text, "A_NAME_FAR_TOO_LONG_FOR_ANY_TILE_AT_ALL")
            verify(longName.truncated)
        }

        function test_speedBars_data() {
            return [
                { tag: "upload above the limit", upload: 1500, uploadLimit: 1000,
                  text: "U 1.5 Mbps", maximum: 1.5, ratio: 1 },
                { tag: "upload under the limit", upload: 1500, uploadLimit: 3000,
                  text: "U 1.5 Mbps", maximum: 3, ratio: 0.5 },
                { tag: "limit to one decimal", upload: 1300, uploadLimit: 2600,
                  text: "U 1.3 Mbps", maximum: 2.6, ratio: 0.5 }
            ]
        }

        function test_speedBars(data) {
            appController.uploadSpeedLimit = data.uploadLimit
            appController.downloadSpeedLimit = 8000
            testSupport.addItem(1, 1, "game.exe", 1, false, 0, data.upload, 4000)
            testSupport.addItem(2, 1, "fast.exe", 2, false, 0, 0, 9000)
            var grid = createGrid()
            var tile = dragItemAt(rows(grid)[0], 0).tile
            var upload = findChild(tile, "uploadBar")
            compare(upload.valueText, data.text)
            fuzzyCompare(upload.speedLimit, data.maximum, 1e-9)
            fuzzyCompare(upload.fillRatio, data.ratio, 1e-9)
            var download = findChild(tile, "downloadBar")
            compare(download.valueText, "D 4.0 Mbps")
            fuzzyCompare(download.speedLimit, 8, 1e-9)
            fuzzyCompare(download.fillRatio, 0.5, 1e-9)
            var fastDownload = findChild(dragItemAt(rows(grid)[1], 0).tile, "downloadBar")
            compare(fastDownload.valueText, "D 9.0 Mbps")
            fuzzyCompare(fastDownload.speedLimit, 9, 1e-9)
            fuzzyCompare(fastDownload.fillRatio, 1, 1e-9)
        }

        function test_speedsFollowTheService() {
            appController.uploadSpeedLimit = 4000
            testSupport.addItem(1, 1, "game.exe", 1, false, 0, 1000, 0)
            var grid = createGrid()
            var upload = findChild(dragItemAt(rows(grid)[0], 0).tile, "uploadBar")
            fuzzyCompare(upload.fillRatio, 0.25, 1e-9)
            testSupport.changeSpeeds(1, 1, 2000, 0)
            compare(upload.valueText, "U 2.0 Mbps")
            fuzzyCompare(upload.fillRatio, 0.5, 1e-9)
        }

        function test_pinClickSetsTheOppositePin() {
            testSupport.addItem(1, 1, "game.exe", 2, false)
            var grid = createGrid()
            var tile = dragItemAt(rows(grid)[1], 0).tile
            var pinButton = findChild(tile, "pinButton")
            verify(!pinButton.pinned)
            // The click passes through the tile's drag area to the pin.
            mouseClick(pinButton)
            compare(appChangedSpy.count, 1)
            compare(modelRow(1), { pin: true, priority: 2 })
            tile = dragItemAt(rows(grid)[1], 0).tile
            verify(findChild(tile, "pinButton").pinned)
            mouseClick(findChild(tile, "pinButton"))
            compare(appChangedSpy.count, 2)
            compare(modelRow(1), { pin: false, priority: 2 })
        }

        function test_dropOnAnotherRow() {
            testSupport.addItem(1, 1, "game.exe", 1, true)
            testSupport.addItem(2, 2, "video.org", 1, false)
            var grid = createGrid()
            var all = rows(grid)
            var dragItem = dragItemAt(all[0], 0)
            compare(dragItem.tile.appName, "game.exe")
            var target = centreOf(all[3])
            startDrag(dragItem, target.x, target.y)
            // While dragged the tile travels in the content area.
            verify(dragItem.dragActive)
            compare(dragItem.tile.parent, mainScreenContainer)
            mouseRelease(mainScreenContainer, target.x, target.y)
            compare(appChangedSpy.count, 1)
            // The pin string "true" stays a pin; the level is the low row's.
            compare(modelRow(1), { pin: true, priority: 4 })
            compare(counts(grid), [1, 0, 0, 1])
            compare(namesOf(all[3]), ["GAME"])

            // A site unpinned, onto the high row.
            dragItem = dragItemAt(all[0], 0)
            compare(dragItem.tile.appName, "video.org")
            target = centreOf(all[1])
            startDrag(dragItem, target.x, target.y)
            mouseRelease(mainScreenContainer, target.x, target.y)
            compare(appChangedSpy.count, 2)
            compare(modelRow(2), { pin: false, priority: 2 })
            compare(counts(grid), [0, 1, 0, 1])
        }

        function test_dropOnTheSameRowSendsTheSameLevel() {
            testSupport.addItem(1, 1, "game.exe", 3, true)
            var grid = createGrid()
            var normal = rows(grid)[2]
            var dragItem = dragItemAt(normal, 0)
            var from = centreOf(dragItem)
            startDrag(dragItem, from.x + 200, from.y + 10)
            mouseRelease(mainScreenContainer, from.x + 200, from.y + 10)
            compare(appChangedSpy.count, 1)
            compare(modelRow(1), { pin: true, priority: 3 })
            // The tile came back into its entry, centred.
            compare(dragItem.tile.parent, dragItem)
            compare(dragItem.tile.x, 0)
            compare(dragItem.tile.y, 0)
        }

        function test_releaseOutsideEveryRowChangesNothing() {
            testSupport.addItem(1, 1, "game.exe", 2)
            var grid = createGrid()
            var dragItem = dragItemAt(rows(grid)[1], 0)
            // Below the grid: no row there.
            startDrag(dragItem, 600, 650)
            verify(dragItem.dragActive)
            mouseRelease(mainScreenContainer, 600, 650)
            compare(appChangedSpy.count, 0)
            compare(modelRow(1), { pin: false, priority: 2 })
            verify(!dragItem.dragActive)
            compare(dragItem.tile.parent, dragItem)
            compare(dragItem.tile.x, 0)
            // A drop asked for with no drag running does nothing either.
            dragItem.dropTile()
            compare(appChangedSpy.count, 0)
        }

        function test_dragEndsWhenTheTileGoesAway() {
            testSupport.addItem(1, 1, "game.exe", 1)
            testSupport.addItem(2, 1, "other.exe", 2)
            var grid = createGrid()
            var all = rows(grid)
            var dropSpy = createTemporaryObject(signalSpyComponent, testCase,
                                                { target: all[3], signalName: "dropped" })
            var dragItem = dragItemAt(all[0], 0)
            var target = centreOf(all[3])
            startDrag(dragItem, target.x, target.y)
            verify(all[3].containsDrag)
            // The service removes the application while it is dragged.
            model.remove(1, 1)
            tryCompare(dropSpy, "count", 1)
            verify(!all[3].containsDrag)
            mouseRelease(mainScreenContainer, target.x, target.y)
            compare(dropSpy.count, 1)
            // Its row is gone, so the drop had nothing to move.
            compare(appChangedSpy.count, 0)
            compare(modelRow(2), { pin: false, priority: 2 })
        }

        function test_helpPopupAppearsAfterTheDelay() {
            var grid = createGrid()
            var row = rows(grid)[2]
            var icon = findChild(row, "helpIcon")
            var popup = findChild(row, "helpPopup")
            verify(!popup.visible)
            // Left before the delay: it never shows.
            mouseMove(icon, icon.width / 2, icon.height / 2)
            wait(600)
            verify(!popup.visible)
            mouseMove(mainScreenContainer, 5, 690)
            wait(700)
            verify(!popup.visible)

            mouseMove(icon, icon.width / 2, icon.height / 2)
            var start = Date.now()
            tryCompare(popup, "visible", true, 2000)
            verify(Date.now() - start >= 900, "shown after " + (Date.now() - start) + " ms")
            // Shown in the top layer, below and right of the icon.
            compare(popup.parent, topItem)
            var corner = icon.mapToItem(topItem, icon.width, icon.height)
            compare(popup.x, corner.x)
            compare(popup.y, corner.y)
            compare(findChild(popup, "helpText").text,
                    "Choosing the NORMAL PRIORITY level provides moderate bandwidth usage for for use with social media applications.")
            mouseMove(mainScreenContainer, 5, 690)
            verify(!popup.visible)
            verify(popup.parent !== topItem)
        }
    }

    Component {
        id: signalSpyComponent

        SignalSpy {}
    }
}
