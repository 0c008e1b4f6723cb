import QtQuick 2.12
import org.netvane.scenes 1.0

// An application's speed bar, in a list line or a tile: the model's speed in
// kbit/s shown in Mbit/s on a range up to the limit, or up to the speed
// where it exceeds the limit. The list's upload bar rounds its limit to
// whole Mbit/s (view).
SpeedItem {
    id: appSpeedBar

    property real kbps: 0
    property real limitKbps: 0
    property int direction: SpeedUnits.Upload
    property int view: SpeedUnits.GridView

    actualSpeed: SpeedUnits.barValue(appSpeedBar.kbps)
    speedLimit: SpeedUnits.barMaximum(appSpeedBar.kbps, appSpeedBar.limitKbps, appSpeedBar.direction, appSpeedBar.view)
    valueText: (appSpeedBar.direction === SpeedUnits.Upload ? qsTr("U") : qsTr("D")) + " "
               + SpeedUnits.mbpsText(appSpeedBar.kbps) + " " + qsTr("Mbps")
}
