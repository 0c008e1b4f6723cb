import QtQuick 2.12
import QtQuick.Controls 1.4 as C1
import QtTest 1.12
import "qrc:/qml"

// The common controls and the small parts of the main window that stand on
// their own: the frame panel's appear delay and close button, the modal
// popup's Escape and click blocking, the link's keys, the check mark in and
// out of a group, the switch, the value line, the dark combo style, the tab
// button's tooltip, the title bar's model plate and the footer's logo.
//
// TestCase itself is invisible, so the controls live in the root item.
Item {
    id: root

    width: 800
    height: 600

    // Tooltips move in here while shown, as in the main window.
    Item {
        id: topItem

        anchors.fill: parent
        z: 10
    }

    Component {
        id: panelComponent

        PopupWindow {
            width: 200
            height: 100
            visible: false
        }
    }

    Component {
        id: popupComponent

        Item {
            property alias popup: popup
            property alias link: link
            property int clicksBeneath: 0
            property bool hoveredBeneath: beneath.containsMouse

            anchors.fill: parent

            MouseArea {
                id: beneath

                anchors.fill: parent
                hoverEnabled: true
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

                    LinkText {
                        id: link

                        anchors.centerIn: parent
                        text: "OK"
                    }
                }
            }
        }
    }

    Component {
        id: linksComponent

        Item {
            property alias leftLink: left
            property alias rightLink: right
            property var keysBeneath: []

            width: 300
            height: 100
            Keys.onPressed: keysBeneath = keysBeneath.concat([event.key])

            LinkText {
                id: left

                anchors.left: parent.left
                anchors.bottom: parent.bottom
                text: "Learn more"
                KeyNavigation.tab: right
            }

            LinkText {
                id: right

                anchors.right: parent.right
                anchors.bottom: parent.bottom
                text: "Next"
                KeyNavigation.tab: left
            }
        }
    }

    Component {
        id: radioComponent

        RadioButtonCustom {
            text: "ALONE"
        }
    }

    Component {
        id: groupComponent

        Column {
            property alias first: first
            property alias second: second

            C1.ExclusiveGroup {
                id: group
            }

            RadioButtonCustom {
                id: first

                text: "FIRST"
                exclusiveGroup: group
            }

            RadioButtonCustom {
                id: second

                text: "SECOND"
                exclusiveGroup: group
            }
        }
    }

    Component {
        id: switchComponent

        Switch2 {}
    }

    Component {
        id: valueComponent

        ValueText {
            width: 200
            text: "MAC ADDRESS"
        }
    }

    Component {
        id: comboStyleComponent

        ComboboxStyleDark {}
    }

    Component {
        id: comboComponent

        C1.ComboBox {
            width: 300
            model: ["LAN", "WIRELESS NETWORK ADAPTER"]
            style: comboStyleComponent
        }
    }

    Component {
        id: tabButtonComponent

        HeaderTabButton {
            x: 100
            y: 100
            popupText: "Grid view"
            iconSource: "qrc:/res/grid_view.png"
        }
    }

    Component {
        id: titleBarComponent

        CustomTitleBar {
            width: 1260
            height: 70.4
        }
    }

    Component {
        id: footerComponent

        Footer {
            width: 1260
            height: 180
        }
    }

    TestCase {
        id: testCase

        name: "Controls"
        when: windowShown

        function create(component, properties) {
            var created = createTemporaryObject(component, root, properties || {})
            verify(created !== null)
            return created
        }

        function init() {
            spy.target = null
            spy.signalName = ""
            spy.clear()
            secondSpy.target = null
            secondSpy.signalName = ""
            secondSpy.clear()
        }

        function cleanup() {
            appController.adapterModel = ""
            appController.vendorLogo = ""
        }

        function test_panelAppearsOnlyAfterItsDelay() {
            var panel = create(panelComponent, { popupAppearDelay: 300 })
            // Left before the delay: never shows.
            panel.showAfterDelay = true
            wait(150)
            panel.showAfterDelay = false
            wait(400)
            compare(panel.visible, false)

            // Rested on: shows after the delay, not before.
            panel.showAfterDelay = true
            wait(150)
            compare(panel.visible, false)
            tryCompare(panel, "visible", true, 1000)
        }

        function test_panelCloseButton() {
            var panel = create(panelComponent, { visible: true })
            spy.target = panel
            spy.signalName = "closePopup"
            var closeButton = findChild(panel, "closeButton")
            // Centred on the corner, 2 px inwards.
            compare(closeButton.x + closeButton.width / 2, panel.width - 2)
            compare(closeButton.y + closeButton.height / 2, 2)
            mouseClick(closeButton)
            compare(spy.count, 1)
            compare(panel.visible, true, "the owner decides what closing means")

            panel.isCloseButtonNeeded = false
            compare(closeButton.visible, false)
            mouseClick(panel, panel.width - 2, 2)
            compare(spy.count, 1)
        }

        function test_popupEscapeNeedsACloseButton() {
            var host = create(popupComponent)
            spy.target = host.popup
            spy.signalName = "closePopup"

            // Escape from the focused link reaches the popup.
            host.link.forceActiveFocus()
            keyClick(Qt.Key_Escape)
            compare(spy.count, 1)
            compare(host.popup.visible, true, "the popup never hides itself")

            host.popup.isCloseButtonNeeded = false
            host.popup.forceActiveFocus()
            keyClick(Qt.Key_Escape)
            compare(spy.count, 1)
            compare(findChild(host.popup, "closeButton").visible, false)
        }

        function test_popupBlocksTheItemsBeneath() {
            var host = create(popupComponent)
            spy.target = host.popup
            spy.signalName = "closePopup"
            // Outside the content, on the dimmed area.
            mouseMove(host, 20, 20)
            mouseClick(host, 20, 20)
            mouseClick(host, 20, 20, Qt.RightButton)
            compare(host.clicksBeneath, 0)
            compare(host.hoveredBeneath, false)
            compare(spy.count, 0)

            host.popup.visible = false
            mouseClick(host, 20, 20)
            compare(host.clicksBeneath, 1)
        }

        function test_linkClickAndReturn() {
            var links = create(linksComponent)
            spy.target = links.leftLink
            spy.signalName = "linkCLicked"
            mouseClick(links.leftLink)
            compare(spy.count, 1)

            links.leftLink.forceActiveFocus()
            keyClick(Qt.Key_Return)
            compare(spy.count, 2)
            compare(links.keysBeneath, [], "Return is the link's own")
        }

        function test_linkPassesOtherKeys() {
            var links = create(linksComponent)
            spy.target = links.leftLink
            spy.signalName = "linkCLicked"
            secondSpy.target = links.rightLink
            secondSpy.signalName = "linkCLicked"
            links.leftLink.forceActiveFocus()
            var frame = findChild(links.leftLink, "focusFrame")
            verify(Qt.colorEqual(frame.border.color, "lightblue"))

            keyClick(Qt.Key_Tab)
            verify(links.rightLink.activeFocus)
            verify(Qt.colorEqual(frame.border.color, "transparent"))
            keyClick(Qt.Key_Return)
            compare(secondSpy.count, 1)
            compare(spy.count, 0)

            keyClick(Qt.Key_Escape)
            keyClick(Qt.Key_A)
            compare(links.keysBeneath, [Qt.Key_Escape, Qt.Key_A])
            compare(secondSpy.count, 1)
        }

        function test_radioAloneIsACheckBox() {
            var radio = create(radioComponent)
            mouseClick(radio)
            compare(radio.checked, true)
            mouseClick(radio)
            compare(radio.checked, false)
        }

        function test_radioInAGroupStaysChecked() {
            var column = create(groupComponent)
            mouseClick(column.first)
            compare(column.first.checked, true)
            mouseClick(column.first)
            compare(column.first.checked, true)
            mouseClick(column.second)
            compare(column.second.checked, true)
            compare(column.first.checked, false)
        }

        function test_switchToggles() {
            var toggle = create(switchComponent)
            compare(toggle.width, 48)
            compare(toggle.height, 24)
            spy.target = toggle
            spy.signalName = "clicked"
            var knob = findChild(toggle, "knob")
            compare(knob.x, 0)

            mouseClick(toggle)
            compare(toggle.checked, true)
            compare(spy.count, 1)
            tryCompare(knob, "x", 24)

            mouseClick(toggle)
            compare(toggle.checked, false)
            tryCompare(knob, "x", 0)

            toggle.enabled = false
            mouseClick(toggle)
            compare(toggle.checked, false)
            compare(spy.count, 2)
        }

        function test_valueElidesBeyondSeventyPercent() {
            var line = create(valueComponent, { value: "AA:BB" })
            var value = findChild(line, "valueLabel")
            var label = findChild(line, "label")
            compare(value.width, 140)
            compare(value.truncated, false)
            verify(line.height > 0)
            compare(line.height, label.contentHeight)
            // Right-aligned: the short value ends at the line's end.
            compare(value.x + value.width, line.width)
            compare(value.horizontalAlignment, Text.AlignRight)

            line.value = "FE80:0000:0000:0000:0202:B3FF:FE1E:8329 FE80:0000:0000:0000"
            verify(value.truncated)
            compare(value.width, 140)
        }

        function test_comboStyleTracksTheLabelWidth() {
            var combo = create(comboComponent)
            var style = combo.__style
            verify(style !== null)
            tryVerify(function () { return style.labelContentWidth > 0 })
            var shortWidth = style.labelContentWidth
            combo.currentIndex = 1
            tryVerify(function () { return style.labelContentWidth > shortWidth + 50 })
        }

        function test_tabButtonTooltipAfterRestingOnly() {
            var button = create(tabButtonComponent)
            var tooltip = findChild(button, "tooltip")
            spy.target = button
            spy.signalName = "clicked"

            // Left within the delay: never shows.
            mouseMove(button, 10, 10)
            wait(500)
            mouseMove(root, 700, 500)
            wait(800)
            compare(tooltip.visible, false)

            // Rested on: shows in topItem at the button's bottom-right corner,
            // in capitals, until the pointer leaves.
            mouseMove(button, 10, 10)
            wait(700)
            compare(tooltip.visible, false)
            tryCompare(tooltip, "visible", true, 1000)
            compare(tooltip.parent, topItem)
            var corner = button.mapToItem(topItem, button.width, button.height)
            compare(tooltip.x, corner.x)
            compare(tooltip.y, corner.y)
            mouseMove(root, 700, 500)
            compare(tooltip.visible, false)
            compare(tooltip.parent, button)

            mouseClick(button)
            compare(spy.count, 1)
        }

        function test_modelPlateRules_data() {
            return [
                { tag: "empty", model: "", shown: false },
                { tag: "10 characters", model: "ABCDEFGHIJ", shown: true, wide: false },
                { tag: "11 characters", model: "ABCDEFGHIJK", shown: true, wide: true },
                { tag: "19 characters", model: "ABCDEFGHIJKLMNOPQRS", shown: true, wide: true },
                { tag: "20 characters", model: "ABCDEFGHIJKLMNOPQRST", shown: false }
            ]
        }

        function test_modelPlateRules(data) {
            var titleBar = create(titleBarComponent)
            appController.adapterModel = data.model
            var plate = findChild(titleBar, "modelPlate")
            var text = findChild(titleBar, "modelText")
            compare(plate.visible, data.shown)
            compare(text.visible, data.shown)
            if (!data.shown)
                return
            compare(String(plate.source), data.wide ? "qrc:/res/adapter_model_bg_wide.png" : "qrc:/res/adapter_model_bg.png")
            fuzzyCompare(text.width, plate.width * (data.wide ? 0.45 : 0.3), 0.01)
            compare(text.font.capitalization, Font.AllUppercase)
        }

        function test_vendorLogoFallsBackToTheMaker() {
            var footer = create(footerComponent)
            var logo = findChild(footer, "vendorLogo")
            compare(String(logo.source), "qrc:/res/velmora_logo.png")
            appController.vendorLogo = "qrc:/res/asus_logo.png"
            compare(String(logo.source), "qrc:/res/asus_logo.png")
            tryCompare(logo, "status", Image.Ready)
            appController.vendorLogo = ""
            compare(String(logo.source), "qrc:/res/velmora_logo.png")
        }

        function test_footerHelpButton() {
            var footer = create(footerComponent)
            spy.target = footer
            spy.signalName = "helpPressed"
            var help = findChild(footer, "helpButton")
            compare(help.x + help.width, footer.width - 23)
            compare(help.y + help.height, footer.height - 8)
            mouseClick(help)
            compare(spy.count, 1)
        }

        SignalSpy {
            id: spy
        }

        SignalSpy {
            id: secondSpy
        }
    }
}
