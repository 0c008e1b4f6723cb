import QtQuick 2.12

// The framed dark panel of every dialog and tooltip: a 4 px border painted in
// the frame gradient, a navy inside, an optional round close button on the
// top-right corner, and an appear timer for hover tooltips (entering sets
// showAfterDelay, leaving clears it and hides the panel).
Item {
    id: popupWindow

    property bool isCloseButtonNeeded: true
    property int popupAppearDelay: Theme.popupAppearDelay
    property bool showAfterDelay: false

    readonly property int _borderWidth: 4

    signal closePopup()

    GradientFrame {
        anchors.fill: parent
        borderWidth: popupWindow._borderWidth
    }

    Rectangle {
        anchors.fill: parent
        anchors.margins: popupWindow._borderWidth
        color: Theme.navy
    }

    Timer {
        id: appearTimer

        interval: popupWindow.popupAppearDelay
        repeat: false
        running: popupWindow.showAfterDelay
        onTriggered: popupWindow.visible = true
    }

    // Centred on the top-right corner, moved inwards by half the border.
    Rectangle {
        id: closeButton

        objectName: "closeButton"
        width: 20
        height: 20
        radius: 10
        x: popupWindow.width - popupWindow._borderWidth / 2 - width / 2
        y: popupWindow._borderWidth / 2 - height / 2
        visible: popupWindow.isCloseButtonNeeded
        color: Theme.label
        border.width: 2
        border.color: Theme.label

        Text {
            anchors.centerIn: parent
            text: "X"
            color: Theme.closeGlyph
            font.pixelSize: closeButton.height / 2
        }

        MouseArea {
            anchors.fill: parent
            onClicked: popupWindow.closePopup()
        }
    }
}
