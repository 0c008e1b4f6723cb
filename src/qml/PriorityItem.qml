import QtQuick 2.12
import QtQuick.Controls 2.12 as C2

// The priority choice of a list line: a drop-down of the four levels. The
// entry index is the level minus 1. comboIndex shows what the model holds;
// a pick by the user is reported through comboUpdated() and comes back,
// once the owner has written it, through comboIndex.
C2.ComboBox {
    id: priorityItem

    property int comboIndex: 0

    signal comboUpdated(int index)

    implicitWidth: 80
    implicitHeight: 25
    font.pixelSize: Theme.textSmall
    model: [qsTr("CRITICAL"), qsTr("HIGH"), qsTr("NORMAL"), qsTr("LOW")]
    currentIndex: priorityItem.comboIndex

    onActivated: {
        priorityItem.comboUpdated(index)
        // The model is the truth: show what it holds, whether the owner took
        // the pick or not.
        priorityItem.currentIndex = Qt.binding(function() { return priorityItem.comboIndex })
    }

    indicator: Canvas {
        id: triangle

        x: priorityItem.width - width - priorityItem.rightPadding
        y: priorityItem.topPadding + (priorityItem.availableHeight - height) / 2
        width: 12
        height: 8
        contextType: "2d"

        onPaint: {
            var ctx = getContext("2d")
            ctx.reset()
            ctx.moveTo(0, 0)
            ctx.lineTo(width, 0)
            ctx.lineTo(width / 2, height)
            ctx.closePath()
            ctx.fillStyle = Theme.textAlt
            ctx.fill()
        }
    }

    contentItem: Text {
        objectName: "currentText"
        leftPadding: 0
        rightPadding: priorityItem.indicator.width + priorityItem.spacing
        text: priorityItem.displayText
        font: priorityItem.font
        color: Theme.textAlt
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }

    background: Item {
        implicitWidth: 80
        implicitHeight: 25
    }

    delegate: C2.ItemDelegate {
        id: entry

        width: priorityItem.width - 2
        height: 30
        text: modelData
        highlighted: priorityItem.highlightedIndex === index

        contentItem: Text {
            text: entry.text
            font: priorityItem.font
            color: Theme.ink
            elide: Text.ElideRight
            verticalAlignment: Text.AlignVCenter
        }

        background: Rectangle {
            color: entry.highlighted ? Theme.highlight : "transparent"
        }
    }

    popup: C2.Popup {
        objectName: "choicePopup"
        y: priorityItem.height - 1
        width: priorityItem.width
        implicitHeight: contentItem.implicitHeight + 5
        padding: 1

        contentItem: ListView {
            clip: true
            interactive: false
            implicitHeight: contentHeight
            model: priorityItem.popup.visible ? priorityItem.delegateModel : null
            currentIndex: priorityItem.highlightedIndex
        }

        background: Rectangle {
            border.color: Theme.textAlt
            radius: 2
        }
    }
}
