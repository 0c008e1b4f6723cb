import QtQuick 2.12

// One of the header's view tabs: an icon in a square that wears a light
// frame while selected, and a tooltip that appears after the pointer has
// rested on it for a second. While shown, the tooltip lives in the main
// window's topItem so that nothing in the main area covers it.
Item {
    id: headerTabButton

    property alias iconSource: icon.source
    property string popupText
    property bool selected: false
    // Where the tooltip goes while it shows: the main window's top layer.
    property Item popupLayer: topItem

    signal clicked()

    implicitWidth: 30
    implicitHeight: 30

    // The tooltip's place: below the button's bottom-right corner, in the
    // coordinates of whatever item holds it.
    function _placeTooltip() {
        if (tooltip.parent === headerTabButton) {
            tooltip.x = headerTabButton.width
            tooltip.y = headerTabButton.height
        } else {
            var corner = headerTabButton.mapToItem(tooltip.parent, headerTabButton.width, headerTabButton.height)
            tooltip.x = corner.x
            tooltip.y = corner.y
        }
    }

    Rectangle {
        anchors.fill: parent
        color: "transparent"
        border.width: headerTabButton.selected ? 2 : 0
        border.color: Theme.text
    }

    Image {
        id: icon

        anchors.fill: parent
        anchors.margins: 1
        smooth: true
        mipmap: true
    }

    MouseArea {
        anchors.fill: parent
        hoverEnabled: true
        onClicked: headerTabButton.clicked()
        onEntered: tooltip.showAfterDelay = true
        onExited: {
            tooltip.visible = false
            tooltip.showAfterDelay = false
        }
    }

    PopupWindow {
        id: tooltip

        objectName: "tooltip"
        isCloseButtonNeeded: false
        popupAppearDelay: Theme.popupAppearDelay
        visible: false
        x: headerTabButton.width
        y: headerTabButton.height
        width: tooltipText.contentWidth + Theme.tooltipPadding
        height: tooltipText.contentHeight + Theme.tooltipPadding

        onVisibleChanged: {
            var home = headerTabButton.popupLayer ? headerTabButton.popupLayer : headerTabButton
            if (visible && parent !== home) {
                parent = home
                headerTabButton._placeTooltip()
            } else if (!visible && parent !== headerTabButton) {
                parent = headerTabButton
                headerTabButton._placeTooltip()
            }
        }

        Text {
            id: tooltipText

            anchors.centerIn: parent
            text: headerTabButton.popupText.toUpperCase()
            color: Theme.tooltipText
            font.pointSize: Theme.tooltipPointSize
            horizontalAlignment: Text.AlignHCenter
        }
    }
}
