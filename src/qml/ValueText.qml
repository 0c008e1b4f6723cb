import QtQuick 2.12

// A label on the left and its value on the right of one line; the value is
// right-aligned in 70 % of the width and elided when it does not fit.
Item {
    id: valueText

    property alias text: label.text
    property alias value: valueLabel.text
    property color color: Theme.text

    implicitHeight: label.contentHeight
    height: label.contentHeight

    Text {
        id: label

        objectName: "label"
        anchors.left: parent.left
        anchors.verticalCenter: parent.verticalCenter
        color: valueText.color
        font.pixelSize: Theme.textSmall
    }

    Text {
        id: valueLabel

        objectName: "valueLabel"
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        width: valueText.width * 0.7
        horizontalAlignment: Text.AlignRight
        elide: Text.ElideRight
        color: valueText.color
        font.pixelSize: Theme.textSmall
    }
}
