import QtQuick 2.12

// One option of the settings page: its label at the left and a check box at
// the right. The box shows `checked`, which the owner binds to where the
// option lives; a click reports the box's new state through toggled() and
// then shows `checked` again, so the box always shows what the owner made
// of the click.
Item {
    id: optionRow

    property alias text: label.text
    property bool checked: false

    signal toggled(bool on)

    height: Math.max(label.height, box.height)

    Text {
        id: label

        anchors.left: parent.left
        anchors.verticalCenter: parent.verticalCenter
        color: Theme.text
        font.pixelSize: Theme.textSmall
    }

    RadioButtonCustom {
        id: box

        objectName: "box"
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        checked: optionRow.checked
        onClicked: {
            optionRow.toggled(box.checked)
            box.checked = Qt.binding(function() { return optionRow.checked })
        }
    }
}
