import QtQuick 2.12
import QtTest 1.12
import "qrc:/qml"

// The about window: the version line from the main window, the icon, the
// ownership notice, the focus on the title with Tab to the version and
// back, and Escape reaching the popup around it.
Item {
    id: root

    width: 600
    height: 400

    Item {
        id: rootWindow

        property string productVersion: swVersion
    }

    CustomPopup {
        id: popupAbout

        anchors.fill: parent
        visible: false
        windowlessItem: about
        onClosePopup: popupAbout.visible = false

        AboutWindow {
            id: about

            anchors.centerIn: parent
            width: 450
            height: 230
            visible: popupAbout.visible
        }
    }

    TestCase {
        name: "AboutWindow"
        when: windowShown

        function part(name) {
            var found = findChild(about, name)
            verify(found !== null, "no " + name)
            return found
        }

        function cleanup() {
            rootWindow.productVersion = swVersion
            popupAbout.visible = false
        }

        function test_versionLine() {
            compare(part("versionText").text, "Version: 1.0.54.0")
            rootWindow.productVersion = "2.1.0.7"
            compare(part("versionText").text, "Version: 2.1.0.7")
        }

        function test_iconAndNotice() {
            var icon = part("icon")
            compare(String(icon.source), "qrc:/res/kestrix.ico")
            compare(icon.status, Image.Ready)
            compare(icon.width, 120)
            compare(icon.height, 120)
            // The version stands 10 px right of the icon.
            compare(part("versionText").x, icon.x + icon.width + 10)
            var texts = ["makerText", "copyrightText", "licenceText"]
            for (var i = 0; i < texts.length; ++i)
                verify(part(texts[i]).text.length > 0, texts[i])
            verify(part("makerText").text.indexOf("Velmora") >= 0)
            verify(part("copyrightText").text.indexOf("©") === 0)
            verify(part("licenceText").text.indexOf("Kestrix adapter") >= 0)
            // The first text wraps in 60 % of the width.
            compare(part("makerText").width, about.width * 0.6)
        }

        function test_focusAndEscape() {
            popupAbout.visible = true
            var title = part("title")
            var version = part("versionText")
            verify(title.activeFocus)
            keyClick(Qt.Key_Tab)
            verify(version.activeFocus)
            keyClick(Qt.Key_Tab)
            verify(title.activeFocus)
            keyClick(Qt.Key_Escape)
            verify(!popupAbout.visible)
        }
    }
}
