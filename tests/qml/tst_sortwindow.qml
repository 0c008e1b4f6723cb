import QtQuick 2.12
import QtTest 1.12
import org.netvane.data 1.0
import "qrc:/qml"

// The grid's sort window: the stored choice is checked and announced when
// the window is built, a new choice is announced, stored and closes the
// window, and the choice already made changes nothing.
Item {
    id: root

    width: 400
    height: 400

    // Records what the window announces from its very creation on, which a
    // spy attached afterwards would miss.
    Component {
        id: hostComponent

        Item {
            property alias sortWindow: sortWindow
            property var announced: []
            property int closed: 0

            width: 140
            height: 140

            SortWindow {
                id: sortWindow

                anchors.fill: parent
                onSortSelected: parent.announced = parent.announced.concat([[sortString, sortColumn, sortOrder]])
                onClicked: parent.closed++
            }
        }
    }

    TestCase {
        id: testCase

        name: "SortWindow"
        when: windowShown

        function createHost() {
            var host = createTemporaryObject(hostComponent, root)
            verify(host !== null)
            return host
        }

        function button(host, name) {
            var found = findChild(host.sortWindow, name)
            verify(found !== null, "no " + name)
            return found
        }

        function storedNumber(key) {
            return Number(testSupport.storedSetting(key))
        }

        function init() {
            testSupport.clearSettings()
        }

        function test_defaultsAnnounceNameAscending() {
            var host = createHost()
            compare(host.announced, [["NAME(A-Z)", OverviewModel.AppNameRole, Qt.AscendingOrder]])
            compare(host.closed, 1)
            compare(button(host, "nameAscendingButton").checked, true)
        }

        function test_storedChoiceIsCheckedAndAnnounced_data() {
            return [
                { tag: "name descending", role: OverviewModel.AppNameRole, order: Qt.DescendingOrder,
                  label: "NAME(Z-A)", button: "nameDescendingButton" },
                { tag: "download", role: OverviewModel.DownloadSpeedRole, order: Qt.DescendingOrder,
                  label: "DOWNLOAD SPEED", button: "downloadButton" },
                { tag: "upload", role: OverviewModel.UploadSpeedRole, order: Qt.DescendingOrder,
                  label: "UPLOAD SPEED", button: "uploadButton" },
                { tag: "other role descending", role: OverviewModel.PinRole, order: Qt.DescendingOrder,
                  label: "NAME(A-Z)", button: "nameAscendingButton", announcedRole: OverviewModel.AppNameRole,
                  announcedOrder: Qt.AscendingOrder },
                { tag: "download ascending", role: OverviewModel.DownloadSpeedRole, order: Qt.AscendingOrder,
                  label: "NAME(A-Z)", button: "nameAscendingButton", announcedRole: OverviewModel.AppNameRole,
                  announcedOrder: Qt.AscendingOrder }
            ]
        }

        function test_storedChoiceIsCheckedAndAnnounced(data) {
            testSupport.storeSetting("gridSortedRole", data.role)
            testSupport.storeSetting("gridSortedOrder", data.order)
            var host = createHost()
            var role = data.announcedRole !== undefined ? data.announcedRole : data.role
            var order = data.announcedOrder !== undefined ? data.announcedOrder : data.order
            compare(host.announced, [[data.label, role, order]])
            compare(button(host, data.button).checked, true)
        }

        function test_newChoiceIsAnnouncedStoredAndCloses() {
            var host = createHost()
            host.announced = []
            host.closed = 0
            mouseClick(button(host, "uploadButton"))
            compare(host.announced, [["UPLOAD SPEED", OverviewModel.UploadSpeedRole, Qt.DescendingOrder]])
            compare(host.closed, 1)
            compare(button(host, "nameAscendingButton").checked, false)
            tryVerify(function () { return storedNumber("gridSortedRole") === OverviewModel.UploadSpeedRole }, 3000)
            compare(storedNumber("gridSortedOrder"), Qt.DescendingOrder)

            // The next window starts with it.
            var next = createHost()
            compare(next.announced, [["UPLOAD SPEED", OverviewModel.UploadSpeedRole, Qt.DescendingOrder]])
        }

        function test_checkedChoiceChangesNothing() {
            testSupport.storeSetting("gridSortedRole", OverviewModel.DownloadSpeedRole)
            testSupport.storeSetting("gridSortedOrder", Qt.DescendingOrder)
            var host = createHost()
            host.announced = []
            host.closed = 0
            mouseClick(button(host, "downloadButton"))
            compare(host.announced, [])
            compare(host.closed, 0, "the window stays open")
            compare(button(host, "downloadButton").checked, true)
        }
    }
}
