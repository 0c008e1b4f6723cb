import QtQuick 2.12
import QtQuick.Controls 2.12
import QtCharts 2.3

// The program's window stripped to its frame: same size, transparent and
// frameless, the same full-window background with its shadow drawn in, two
// small charts, and (with --animate) one bar that never stops sliding.
ApplicationWindow {
    width: 1280
    height: 900
    visible: true
    flags: Qt.FramelessWindowHint | Qt.Window
    color: "transparent"

    Image {
        anchors.fill: parent
        source: "qrc:/res/background.png"
    }

    Row {
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 20
        x: 20
        spacing: 20

        Repeater {
            model: 2

            ChartView {
                width: 400
                height: 180
                backgroundColor: "transparent"
                legend.visible: false

                BarSeries {
                    BarSet { values: [1, 3, 2, 5, 4, 2, 6, 3, 1, 2, 4, 3, 5, 2, 1] }
                }
            }
        }
    }

    Rectangle {
        x: 40
        y: 100
        height: 20
        color: "lightgrey"

        NumberAnimation on width {
            running: animate
            from: 10
            to: 600
            duration: 2000
            loops: Animation.Infinite
        }
    }
}
