import QtQuick 2.12
import QtTest 1.12
import org.netvane.data 1.0
import "qrc:/qml"

// The list view over the real OverviewModel: sorting by the column titles and
// keeping that choice, what a line shows, and the pin and priority choices
// that write back into the model.
Item {
    id: mainScreenContainer

    width: 1260
    height: 700

    QtObject {
        id: rootWindow

        property bool showSystemApps: false
    }

    Component {
        id: listComponent

        AppListView {
            x: 63
            y: 10
            width: 1134
            height: 509
        }
    }

    SignalSpy {
        id: appChangedSpy

        target: appController.overviewModel()
        signalName: "appChanged"
    }

    TestCase {
        id: testCase

        name: "ListView"
        when: windowShown

        property var model: appController.overviewModel()

        function init() {
            testSupport.clearItems()
            testSupport.clearSettings()
            rootWindow.showSystemApps = false
            appController.streamControlEnabled = true
            appController.uploadSpeedLimit = 10000
            appController.downloadSpeedLimit = 10000
            appChangedSpy.clear()
        }

        function cleanup() {
            testSupport.clearItems()
        }

        function createList() {
            var list = createTemporaryObject(listComponent, mainScreenContainer)
            verify(list)
            waitForRendering(list)
            return list
        }

        function titles(list) {
            return {
                priority: findChild(list, "priorityTitle"),
                name: findChild(list, "nameTitle"),
                upload: findChild(list, "uploadTitle"),
                download: findChild(list, "downloadTitle"),
                options: findChild(list, "optionsTitle")
            }
        }

        function selectedTitles(list) {
            var all = titles(list)
            var selected = []
            for (var key in all) {
                if (all[key].selected)
                    selected.push(key)
            }
            return selected
        }

        function line(list, index) {
            var lines = findChild(list, "lines")
            lines.forceLayout()
            return lines.itemAtIndex(index)
        }

        // The displayed names of the lines, top to bottom.
        function names(list) {
            var lines = findChild(list, "lines")
            lines.forceLayout()
            var result = []
            for (var i = 0; i < lines.count; ++i)
                result.push(findChild(lines.itemAtIndex(i), "displayedName").text)
            return result
        }

        function modelRow(id) {
            for (var row = 0; row < model.rowCount(); ++row) {
                var index = model.index(row, 0)
                if (model.data(index, OverviewModel.AppIdRole) == id)
                    return { pin: model.data(index, OverviewModel.PinRole),
                             priority: model.data(index, OverviewModel.PriorityRole) }
            }
            return null
        }

        function addThree() {
            testSupport.addItem(1, 1, "bravo.exe", 1, false, 0, 300, 20)
            testSupport.addItem(2, 1, "alpha.exe", 3, false, 0, 100, 30)
            testSupport.addItem(3, 1, "charlie.exe", 4, false, 0, 200, 10)
        }

        function test_firstStartSortsByNameDescending() {
            addThree()
            var list = createList()
            compare(list.sortIndicatorColumn, OverviewModel.AppNameRole)
            compare(list.sortIndicatorOrder, Qt.DescendingOrder)
            compare(selectedTitles(list), ["name"])
            var arrow = findChild(titles(list).name, "sortArrow")
            verify(arrow.visible)
            compare(arrow.source, "qrc:/res/arrow_down.png")
            verify(!findChild(titles(list).upload, "sortArrow").visible)
            compare(names(list), ["CHARLIE", "BRAVO", "ALPHA"])
        }

        function test_titleClicksToggleTheSort() {
            addThree()
            var list = createList()
            var all = titles(list)
            // The selected title flips the order; twice returns to the first.
            mouseClick(all.name)
            compare(list.sortIndicatorOrder, Qt.AscendingOrder)
            compare(names(list), ["ALPHA", "BRAVO", "CHARLIE"])
            compare(findChild(all.name, "sortArrow").source, "qrc:/res/arrow_up.png")
            mouseClick(all.name)
            compare(list.sortIndicatorOrder, Qt.DescendingOrder)
            compare(names(list), ["CHARLIE", "BRAVO", "ALPHA"])
            // Another title starts ascending and takes the selection.
            mouseClick(all.upload)
            compare(list.sortIndicatorColumn, OverviewModel.UploadSpeedRole)
            compare(list.sortIndicatorOrder, Qt.AscendingOrder)
            compare(selectedTitles(list), ["upload"])
            compare(names(list), ["ALPHA", "CHARLIE", "BRAVO"])
            mouseClick(all.upload)
            compare(list.sortIndicatorOrder, Qt.DescendingOrder)
            mouseClick(all.download)
            compare(list.sortIndicatorColumn, OverviewModel.DownloadSpeedRole)
            compare(list.sortIndicatorOrder, Qt.AscendingOrder)
            compare(names(list), ["CHARLIE", "BRAVO", "ALPHA"])
            // Priority sorts by the adapted priority: ascending runs from low
            // to critical.
            mouseClick(all.priority)
            compare(list.sortIndicatorColumn, OverviewModel.AdaptedPriorityRole)
            compare(list.sortIndicatorOrder, Qt.AscendingOrder)
            compare(selectedTitles(list), ["priority"])
            compare(names(list), ["CHARLIE", "ALPHA", "BRAVO"])
            // The options title does not sort.
            mouseClick(all.options)
            compare(list.sortIndicatorColumn, OverviewModel.AdaptedPriorityRole)
            compare(list.sortIndicatorOrder, Qt.AscendingOrder)
            compare(selectedTitles(list), ["priority"])
            verify(!findChild(all.options, "sortArrow").visible)
        }

        function test_sortIsStored() {
            var list = createList()
            mouseClick(titles(list).upload)
            mouseClick(titles(list).upload)
            tryVerify(function() { return Number(testSupport.storedSetting("listSortedRole")) === OverviewModel.UploadSpeedRole },
                      3000, "stored role")
            tryVerify(function() { return Number(testSupport.storedSetting("listSortedOrder")) === Qt.DescendingOrder },
                      3000, "stored order")
            mouseClick(titles(list).priority)
            tryVerify(function() { return Number(testSupport.storedSetting("listSortedRole")) === OverviewModel.AdaptedPriorityRole },
                      3000, "stored role")
            tryVerify(function() { return Number(testSupport.storedSetting("listSortedOrder")) === Qt.AscendingOrder },
                      3000, "stored order")
        }

        function test_storedSortIsLoaded_data() {
            return [
                { tag: "download ascending", role: OverviewModel.DownloadSpeedRole, order: Qt.AscendingOrder,
                  selected: "download", names: ["CHARLIE", "BRAVO", "ALPHA"] },
                { tag: "upload descending", role: OverviewModel.UploadSpeedRole, order: Qt.DescendingOrder,
                  selected: "upload", names: ["BRAVO", "CHARLIE", "ALPHA"] },
                { tag: "priority descending", role: OverviewModel.AdaptedPriorityRole, order: Qt.DescendingOrder,
                  selected: "priority", names: ["BRAVO", "ALPHA", "CHARLIE"] },
                { tag: "name ascending", role: OverviewModel.AppNameRole, order: Qt.AscendingOrder,
                  selected: "name", names: ["ALPHA", "BRAVO", "CHARLIE"] },
                { tag: "another role", role: OverviewModel.AppIdRole, order: Qt.DescendingOrder,
                  selected: "name", names: ["CHARLIE", "ALPHA", "BRAVO"] }
            ]
        }

        function test_storedSortIsLoaded(data) {
            testSupport.storeSetting("listSortedRole", data.role)
            testSupport.storeSetting("listSortedOrder", data.order)
            addThree()
            var list = createList()
            compare(list.sortIndicatorColumn, data.role)
            compare(list.sortIndicatorOrder, data.order)
            compare(selectedTitles(list), [data.selected])
            compare(names(list), data.names)
        }

        function test_displayedNames() {
            testSupport.addItem(1, 1, "game.exe", 1)
            testSupport.addItem(2, 1, "tool.exe.old", 1)
            testSupport.addItem(3, 1, "GAME.EXE", 1)
            testSupport.storeSetting("listSortedRole", OverviewModel.AppIdRole)
            testSupport.storeSetting("listSortedOrder", Qt.AscendingOrder)
            var list = createList()
            compare(names(list), ["GAME", "TOOL", "GAME.EXE"])
        }

        function test_speedBars_data() {
            return [
                { tag: "upload above the limit", upload: 1500, limit: 1000,
                  text: "U 1.5 Mbps", maximum: 1.5, ratio: 1 },
                { tag: "upload under the limit", upload: 1500, limit: 3000,
                  text: "U 1.5 Mbps", maximum: 3, ratio: 0.5 },
                { tag: "limit in whole Mbps", upload: 1500, limit: 2600,
                  text: "U 1.5 Mbps", maximum: 3, ratio: 0.5 }
            ]
        }

        function test_speedBars(data) {
            appController.uploadSpeedLimit = data.limit
            appController.downloadSpeedLimit = 2600
            testSupport.addItem(1, 1, "game.exe", 1, false, 0, data.upload, 1300)
            var list = createList()
            var upload = findChild(line(list, 0), "uploadBar")
            compare(upload.valueText, data.text)
            fuzzyCompare(upload.speedLimit, data.maximum, 1e-9)
            fuzzyCompare(upload.fillRatio, data.ratio, 1e-9)
            // Download limits keep their decimal.
            var download = findChild(line(list, 0), "downloadBar")
            compare(download.valueText, "D 1.3 Mbps")
            fuzzyCompare(download.speedLimit, 2.6, 1e-9)
            fuzzyCompare(download.fillRatio, 0.5, 1e-9)
        }

        function test_streamControlOffEmptiesTheBody() {
            addThree()
            appController.streamControlEnabled = false
            var list = createList()
            verify(titles(list).name.visible)
            verify(!findChild(list, "lines").visible)
            appController.streamControlEnabled = true
            verify(findChild(list, "lines").visible)
            compare(findChild(list, "lines").count, 3)
        }

        function test_pinClickSetsTheOppositePin() {
            testSupport.addItem(1, 1, "game.exe", 3, false)
            var list = createList()
            var pinButton = findChild(line(list, 0), "pinButton")
            verify(!pinButton.pinned)
            mouseClick(pinButton)
            compare(appChangedSpy.count, 1)
            compare(modelRow(1), { pin: true, priority: 3 })
            pinButton = findChild(line(list, 0), "pinButton")
            verify(pinButton.pinned)
            mouseClick(pinButton)
            compare(appChangedSpy.count, 2)
            compare(modelRow(1), { pin: false, priority: 3 })
        }

        function test_priorityChoiceSetsTheLevel() {
            testSupport.addItem(1, 1, "game.exe", 1, true)
            var list = createList()
            var choice = findChild(line(list, 0), "priorityChoice")
            compare(choice.comboIndex, 0)
            compare(choice.displayText, "CRITICAL")
            var updates = createTemporaryObject(signalSpyComponent, testCase,
                                                { target: choice, signalName: "comboUpdated" })
            mouseClick(choice)
            tryCompare(choice.popup, "opened", true)
            // Right below the control, overlapping it by 1 px, as wide as it.
            compare(choice.popup.y, choice.height - 1)
            compare(choice.popup.width, choice.width)
            var entries = choice.popup.contentItem
            tryVerify(function() { return entries.itemAtIndex(3) !== null })
            var low = entries.itemAtIndex(3)
            compare(low.height, 30)
            compare(low.text, "LOW")
            mouseClick(low)
            compare(updates.count, 1)
            compare(updates.signalArguments[0][0], 3)
            compare(appChangedSpy.count, 1)
            // Level index + 1, the pin as the pin button shows it.
            compare(modelRow(1), { pin: true, priority: 4 })
            compare(choice.comboIndex, 3)
            compare(choice.displayText, "LOW")

            // A change from elsewhere shows, and is not reported as a pick.
            model.set(1, 1, true, 2)
            compare(choice.displayText, "HIGH")
            compare(updates.count, 1)
            compare(appChangedSpy.count, 2)
        }

        function test_systemApplicationsHiddenUnlessShown() {
            testSupport.addItem(1, 1, "ordinary.exe", 2, false, 0)
            testSupport.addItem(2, 1, "system.exe", 2, false, 2)
            testSupport.addItem(3, 1, "tenth.exe", 2, false, 10)
            var list = createList()
            compare(names(list), ["TENTH", "ORDINARY"])
            rootWindow.showSystemApps = true
            compare(findChild(list, "lines").count, 3)
            compare(names(list), ["TENTH", "SYSTEM", "ORDINARY"])
        }
    }

    Component {
        id: signalSpyComponent

        SignalSpy {}
    }
}
