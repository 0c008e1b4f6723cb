import QtQuick 2.12

// A speed bar: a dark rounded track, a light part that fills the value's
// share of the range from 0 to speedLimit, and a text over it. Changes of the
// value slide over two seconds; a range of zero leaves the bar empty.
Item {
    id: speedItem

    property real speedLimit: 0
    property real actualSpeed: 0
    property string valueText
    property int valueTextSize: Theme.textBar

    // The value as drawn: it follows actualSpeed over two seconds.
    property real _shownSpeed: speedItem.actualSpeed

    // The share of the range the bar is heading for (0 to 1).
    readonly property real fillRatio: speedItem.speedLimit > 0
                                      ? Math.max(0, Math.min(1, speedItem.actualSpeed / speedItem.speedLimit))
                                      : 0

    // The share of the range the bar is drawn at now.
    readonly property real _shownRatio: speedItem.speedLimit > 0
                                        ? Math.max(0, Math.min(1, speedItem._shownSpeed / speedItem.speedLimit))
                                        : 0

    implicitWidth: 150
    implicitHeight: 25

    Behavior on _shownSpeed {
        NumberAnimation { duration: 2000 }
    }

    Rectangle {
        id: background

        anchors.fill: parent
        implicitWidth: 150
        implicitHeight: 20
        radius: 2
        gradient: Theme.barTrack
    }

    Rectangle {
        id: fill

        objectName: "fill"
        height: speedItem.height
        // Whole pixels: while dozens of bars slide, a frame in which none of
        // them crosses a pixel leaves the scene unchanged and is not drawn.
        width: Math.round(speedItem.width * speedItem._shownRatio)
        radius: 2
        visible: width > 0
        gradient: Theme.barFill
    }

    Text {
        id: label

        objectName: "valueText"
        anchors.left: parent.left
        anchors.leftMargin: 3
        anchors.verticalCenter: parent.verticalCenter
        text: speedItem.valueText
        color: Theme.label
        font.pixelSize: speedItem.valueTextSize
    }
}
