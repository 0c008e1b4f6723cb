import QtQuick 2.12
import QtQuick.Templates 2.12 as T

// A sliding switch on the Controls 2 template: a cyan track with a dark knob
// on the right when checked, grey with the knob on the left otherwise. The
// template keeps checked, pressed, enabled and clicked.
T.Switch {
    id: switch2

    readonly property int _knobSize: 24

    implicitWidth: 48
    implicitHeight: 24

    indicator: Rectangle {
        id: track

        width: switch2.width
        height: switch2.height
        radius: 12
        color: switch2.checked ? Theme.switchTrackOn : Theme.switchTrackOff
        border.width: 2
        border.color: switch2.checked ? Theme.switchTrackEdgeOn : Theme.switchTrackEdgeOff

        Rectangle {
            id: knob

            objectName: "knob"
            width: switch2._knobSize
            height: switch2._knobSize
            radius: 12
            x: switch2.checked ? switch2.width - switch2._knobSize : 0
            anchors.verticalCenter: parent.verticalCenter
            color: switch2.checked ? Theme.switchKnobOn : Theme.switchKnobOff
            border.width: 2
            border.color: switch2.checked ? Theme.switchKnobEdgeOn : Theme.switchKnobEdgeOff

            // The knob slides, except while the finger holds the switch.
            Behavior on x {
                enabled: !switch2.pressed
                SmoothedAnimation { velocity: 200 }
            }
        }
    }
}
