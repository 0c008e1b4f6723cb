import QtQuick 2.12
import QtQuick.Controls.Styles 1.4 as S1

// A dark combo-box style: a transparent box, the current text in light grey
// and the down arrow right behind the text, wherever the text ends.
S1.ComboBoxStyle {
    id: comboboxStyleDark

    // The label's content width, kept up to date by the label itself.
    property real labelContentWidth: 0

    textColor: Theme.comboText
    selectedTextColor: Theme.text
    selectionColor: Theme.comboSelection

    background: Item {
        Rectangle {
            anchors.fill: parent
            anchors.rightMargin: 5
            color: "transparent"
        }

        Image {
            x: comboboxStyleDark.labelContentWidth + 2
            anchors.bottom: parent.bottom
            width: 20
            height: 20
            source: "qrc:/res/arrow_down.png"
        }
    }

    label: Text {
        text: control.currentText
        color: Theme.text
        font.pixelSize: Theme.textNormal
        verticalAlignment: Text.AlignVCenter
        onContentWidthChanged: comboboxStyleDark.labelContentWidth = contentWidth
        Component.onCompleted: comboboxStyleDark.labelContentWidth = contentWidth
    }
}
