import QtQuick 2.12
import QtTest 1.12
import "qrc:/qml"

// The help overlays: one overlay per state, their texts, the links (focus,
// Tab and Return, "Learn more" closing or not), Escape doing nothing, and the
// first-start course into the settings popup and out of it with Escape.
Item {
    id: root

    width: 900
    height: 700

    // The settings popup as the main window has it.
    CustomPopup {
        id: popupSettings

        anchors.fill: parent
        visible: false
        windowlessItem: settingsContent
        onClosePopup: popupSettings.visible = false

        AppSettings {
            id: settingsContent

            anchors.centerIn: parent
            width: 400
            height: 500
            visible: popupSettings.visible
        }
    }

    HelpMessages {
        id: helpMessages

        anchors.fill: parent
        gettingStartedNextComponent: popupSettings
        settingsItem: popupSettings
        // Records the pages instead of starting a browser.
        pageOpener: QtObject {
            property var urls: []

            function open(url) {
                urls = urls.concat([url])
                return true
            }
        }
    }

    Component {
        id: plainHelpComponent

        HelpMessages {
        }
    }

    TestCase {
        name: "HelpMessages"
        when: windowShown

        readonly property var overlays: ({
            helpGettingStartedShow: "gettingStartedOverlay",
            helpSettingsShow: "settingsOverlay",
            helpGridViewShow: "gridViewOverlay",
            helpListViewShow: "listViewOverlay"
        })
        readonly property string viewText: "Use Command Center to set priority levels for your applications. Selecting CRITICAL PRIORITY for a game improves your gaming experience. Once you have set the priority, use the pin icon to force the rank within each particular priority. Once pinned, an application remains at that rank until you change it."

        function part(parent, name) {
            var found = findChild(parent, name)
            verify(found !== null, "no " + name)
            return found
        }

        function content(name) {
            return part(helpMessages, name)
        }

        function shownOverlays() {
            var shown = []
            for (var state in overlays) {
                if (part(helpMessages, overlays[state]).visible)
                    shown.push(overlays[state])
            }
            return shown
        }

        function init() {
            helpMessages.state = "helpNothingShow"
            helpMessages.pageOpener.urls = []
            popupSettings.visible = false
        }

        function test_helpPageShipsWithTheProgram() {
            compare(helpMessages.helpPageUrl, applicationPath + "help/index.html")
            verify(helpMessages.helpPageUrl.indexOf("file://") === 0)
            var plain = createTemporaryObject(plainHelpComponent, root)
            compare(plain.helpPageUrl, applicationPath + "help/index.html")
            compare(plain.state, "helpNothingShow")
            compare(typeof plain.pageOpener.open, "function")
        }

        function test_eachStateShowsItsOverlay() {
            compare(shownOverlays(), [])
            for (var state in overlays) {
                helpMessages.state = state
                compare(shownOverlays(), [overlays[state]], state)
            }
            helpMessages.state = "helpNothingShow"
            compare(shownOverlays(), [])
        }

        function test_overlaysTexts() {
            var gettingStarted = content("gettingStartedContent")
            compare(gettingStarted.width, 500)
            compare(gettingStarted.height, 200)
            compare(part(gettingStarted, "body").text, "Welcome to the Velmora Kestrix Command Center. The Command Center helps optimize your network settings and improve your gaming, streaming video, or web surfing experience when running a variety of PC apps. Please follow the on-screen instructions during initial setup of the utility.")
            compare(part(gettingStarted, "nextLink").text, "Next")
            compare(part(gettingStarted, "learnMoreLink").text, "Learn more")

            var settings = content("settingsContent")
            compare(settings.width, 700)
            compare(part(settings, "body").text, "Set the Download/Upload bandwidth settings for your Internet connection prior to use. To optimize your experience, we recommend setting download at 90% of your ISP speed. The NETWORK SETTINGS screen displays the adapter type, IPv6 address, MAC address, and other basic network setting information.")
            compare(part(settings, "okLink").text, "OK")

            compare(part(content("gridViewContent"), "body").text, viewText)
            compare(part(content("listViewContent"), "body").text, viewText)
            for (var state in overlays)
                compare(part(helpMessages, overlays[state]).isCloseButtonNeeded, false)
        }

        function test_rightLinkHasTheFocusAndTabSwitches() {
            helpMessages.state = "helpGettingStartedShow"
            var gettingStarted = content("gettingStartedContent")
            verify(part(gettingStarted, "nextLink").activeFocus)
            keyClick(Qt.Key_Tab)
            verify(part(gettingStarted, "learnMoreLink").activeFocus)
            keyClick(Qt.Key_Tab)
            verify(part(gettingStarted, "nextLink").activeFocus)

            helpMessages.state = "helpGridViewShow"
            var grid = content("gridViewContent")
            verify(part(grid, "okLink").activeFocus)
            keyClick(Qt.Key_Tab)
            verify(part(grid, "learnMoreLink").activeFocus)
        }

        function test_escapeDoesNothing() {
            for (var state in overlays) {
                helpMessages.state = state
                keyClick(Qt.Key_Escape)
                compare(helpMessages.state, state)
                compare(shownOverlays(), [overlays[state]])
            }
        }

        function test_learnMoreInGettingStartedKeepsTheOverlay() {
            helpMessages.state = "helpGettingStartedShow"
            mouseClick(part(content("gettingStartedContent"), "learnMoreLink"))
            compare(helpMessages.pageOpener.urls, [helpMessages.helpPageUrl])
            compare(helpMessages.state, "helpGettingStartedShow")
            verify(!popupSettings.visible)

            // Return on the focused link acts the same.
            keyClick(Qt.Key_Tab)
            keyClick(Qt.Key_Return)
            compare(helpMessages.pageOpener.urls.length, 2)
            compare(helpMessages.state, "helpGettingStartedShow")
        }

        function test_learnMoreInTheOtherOverlaysCloses_data() {
            return [
                { tag: "settings", state: "helpSettingsShow", content: "settingsContent" },
                { tag: "grid view", state: "helpGridViewShow", content: "gridViewContent" },
                { tag: "list view", state: "helpListViewShow", content: "listViewContent" }
            ]
        }

        function test_learnMoreInTheOtherOverlaysCloses(data) {
            helpMessages.state = data.state
            mouseClick(part(content(data.content), "learnMoreLink"))
            compare(helpMessages.pageOpener.urls, [helpMessages.helpPageUrl])
            compare(helpMessages.state, "helpNothingShow")
            compare(shownOverlays(), [])
        }

        function test_okClosesWithoutAPage_data() {
            return [
                { tag: "grid view", state: "helpGridViewShow", content: "gridViewContent" },
                { tag: "list view", state: "helpListViewShow", content: "listViewContent" }
            ]
        }

        function test_okClosesWithoutAPage(data) {
            helpMessages.state = data.state
            keyClick(Qt.Key_Return)
            compare(helpMessages.state, "helpNothingShow")
            compare(helpMessages.pageOpener.urls, [])
        }

        function test_settingsHelpHandsTheFocusToTheSettings() {
            popupSettings.visible = true
            helpMessages.state = "helpSettingsShow"
            verify(!popupSettings.activeFocus)
            mouseClick(part(content("settingsContent"), "learnMoreLink"))
            compare(helpMessages.state, "helpNothingShow")
            verify(popupSettings.activeFocus)
        }

        // Getting started, Next, the settings with their help over them,
        // OK, and Escape then closes the settings.
        function test_firstStartCourse() {
            helpMessages.state = "helpGettingStartedShow"
            keyClick(Qt.Key_Escape)
            compare(helpMessages.state, "helpGettingStartedShow")

            keyClick(Qt.Key_Return)
            verify(popupSettings.visible)
            compare(helpMessages.state, "helpSettingsShow")
            compare(shownOverlays(), ["settingsOverlay"])
            verify(part(content("settingsContent"), "okLink").activeFocus)

            keyClick(Qt.Key_Escape)
            compare(helpMessages.state, "helpSettingsShow")
            verify(popupSettings.visible)

            keyClick(Qt.Key_Return)
            compare(helpMessages.state, "helpNothingShow")
            verify(popupSettings.activeFocus)
            verify(popupSettings.visible)
            compare(helpMessages.pageOpener.urls, [])

            keyClick(Qt.Key_Escape)
            verify(!popupSettings.visible)
        }
    }
}
