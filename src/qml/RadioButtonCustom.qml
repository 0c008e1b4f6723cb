import QtQuick 2.12
import QtQuick.Controls 1.4 as C1
import QtQuick.Controls.Styles 1.4 as S1

// A square check mark used both ways: in an ExclusiveGroup it is a radio
// button (a click on the checked one keeps it checked), alone it is a check
// box that a click turns on and off.
C1.RadioButton {
    id: radioButtonCustom

    style: S1.RadioButtonStyle {
        indicator: Rectangle {
            implicitWidth: 14
            implicitHeight: 14
            color: Theme.navy
            border.width: 1
            border.color: Theme.label

            Rectangle {
                anchors.fill: parent
                anchors.margins: 3
                visible: control.checked
                color: Theme.label
            }
        }

        label: Text {
            text: control.text
            color: Theme.textAlt
            font.pixelSize: Theme.textSmall
        }
    }
}
