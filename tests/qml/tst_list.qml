import QtQuick 2.12
import QtTest 1.12
import org.netvane.data 1.0
import "qrc:/qml"

// The list over the real OverviewModel: sorting by the column titles, the
// sort kept for the next list, and the priority choice writing the level.
Item {
    id: root

    width: 1260
    height: 700

    QtObject { id: mainStub; property bool showSystemApps: false }
    Component { id: listComponent; AppListView { x: 63; y: 10; width: 1134; height: 509; mainWindow: mainStub } }

    TestCase {
        name: "ListView"
        when: windowShown

        function init() {
            testSupport.clearItems()
            testSupport.clearSettings()
            appController.streamControlEnabled = true
            testSupport.addItem(1, 1, "bravo.exe", 1, false, 0, 300, 20)
            testSupport.addItem(2, 1, "alpha.exe", 3, false, 0, 100, 30)
            testSupport.addItem(3, 1, "charlie.exe", 4, false, 0, 200, 10)
        }

        function createList() {
            var list = createTemporaryObject(listComponent, root)
            waitForRendering(list)
            return list
        }

        function lines(list) {
            var view = findChild(list, "lines")
            view.forceLayout()
            return Array.from({ length: view.count }, function (_, i) { return view.itemAtIndex(i) })
        }

        function names(list) {
            return lines(list).map(function (line) { return findChild(line, "displayedName").text })
        }

        function stored(key) {
            return Number(testSupport.storedSetting(key))
        }

        // The selected title flips the order, another starts ascending, the
        // options do not sort; every choice is stored. Ascending priority
        // runs from low to critical (the adapted priority).
        function test_titleClicksSortAndAreStored() {
            var list = createList()
            compare(names(list), ["CHARLIE", "BRAVO", "ALPHA"], "first start: by name, descending")
            var clicks = [
                { title: "nameTitle", role: OverviewModel.AppNameRole, order: Qt.AscendingOrder, names: ["ALPHA", "BRAVO", "CHARLIE"] },
                { title: "nameTitle", role: OverviewModel.AppNameRole, order: Qt.DescendingOrder, names: ["CHARLIE", "BRAVO", "ALPHA"] },
                { title: "uploadTitle", role: OverviewModel.UploadSpeedRole, order: Qt.AscendingOrder, names: ["ALPHA", "CHARLIE", "BRAVO"] },
                { title: "downloadTitle", role: OverviewModel.DownloadSpeedRole, order: Qt.AscendingOrder, names: ["CHARLIE", "BRAVO", "ALPHA"] },
                { title: "priorityTitle", role: OverviewModel.AdaptedPriorityRole, order: Qt.AscendingOrder, names: ["CHARLIE", "ALPHA", "BRAVO"] },
                { title: "optionsTitle", role: OverviewModel.AdaptedPriorityRole, order: Qt.AscendingOrder, names: ["CHARLIE", "ALPHA", "BRAVO"] }
            ]
            for (var i = 0; i < clicks.length; ++i) {
                var click = clicks[i]
                mouseClick(findChild(list, click.title))
                compare(names(list), click.names, click.title + ", click " + i)
                tryVerify(function () { return stored("listSortedRole") === click.role && stored("listSortedOrder") === click.order },
                          3000, "stored after click " + i)
            }
            list.destroy()
            list = createList()
            compare(names(list), ["CHARLIE", "ALPHA", "BRAVO"], "the stored sort is the next list's")
            verify(findChild(list, "priorityTitle").selected)
        }

        // Index + 1 is the level; the pin goes along as the pin button shows it.
        function test_priorityChoiceWritesTheLevel() {
            testSupport.clearItems()
            testSupport.addItem(1, 1, "game.exe", 1, true)
            var list = createList()
            var choice = findChild(lines(list)[0], "priorityChoice")
            mouseClick(choice)
            tryCompare(choice.popup, "opened", true)
            var entries = choice.popup.contentItem
            tryVerify(function () { return entries.itemAtIndex(3) !== null })
            mouseClick(entries.itemAtIndex(3))
            var model = appController.overviewModel()
            compare(model.data(model.index(0, 0), OverviewModel.PriorityRole), 4)
            compare(model.data(model.index(0, 0), OverviewModel.PinRole), true)
            compare(choice.displayText, "LOW")
        }
    }
}
