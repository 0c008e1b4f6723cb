import QtQuick 2.12
import QtCharts 2.3
import org.netvane.scenes 1.0

// A bar chart of one speed over the last fifteen seconds. Once a second it
// asks its owner for the current value (timerTrigered), takes it into the
// window of samples, scales the axis and the unit to the largest sample and
// publishes a weighted average and the maximum for the rate displays.
//
// The arithmetic lives in SpeedSamples: the samples are kept in Mbps; only
// the bars and the axis are shown in the chart's unit, which becomes Gbps
// from 100 Mbps on.
Item {
    id: speedChart

    // The current speed in Mbps; the owner sets it, best on timerTrigered.
    property var value
    property string title: ""
    property int topBottomMargin: 0

    readonly property string roundedValue: speedChart._samples.roundedValue
    readonly property string maxValue: speedChart._samples.maxValue
    readonly property string valueUnit: speedChart._samples.gigabits ? qsTr("Gbps") : qsTr("Mbps")
    readonly property int valueDevider: speedChart._samples.divider

    readonly property color _figureColor: Theme.figure
    // The chart keeps this much room above and below the plot for half a
    // value label.
    readonly property int _axisLabelOverhang: 17
    // Where the plot starts, below the heading.
    readonly property int _plotTop: 40
    // How far the chart view reaches above the item (see the view).
    readonly property int _viewOverreach: 40

    // The sample window and its arithmetic.
    readonly property SpeedSamples _samples: SpeedSamples {}

    signal timerTrigered()

    // A time label of two centred lines, the number over "seconds": each
    // line is padded in front by half the difference to the longer line.
    function timeLabel(number) {
        var lines = [number, qsTr("seconds")]
        var longest = Math.max(lines[0].length, lines[1].length)
        var text = ""
        for (var i = 0; i < lines.length; ++i) {
            var padding = Math.ceil((longest - lines[i].length) / 2)
            for (var j = 0; j < padding; ++j)
                text += " "
            text += lines[i] + "\n"
        }
        return text
    }

    // One sampling step; the timer calls it every second.
    function tick() {
        speedChart.timerTrigered()
        speedChart._samples.add(Number(speedChart.value))
    }

    Timer {
        id: sampleTimer

        interval: 1000
        repeat: true
        running: true
        onTriggered: speedChart.tick()
    }

    GradientFrame {
        objectName: "frame"
        anchors.fill: parent
        anchors.topMargin: speedChart.topBottomMargin
        anchors.bottomMargin: speedChart.topBottomMargin
        borderWidth: 5
    }

    ChartView {
        id: chartView

        objectName: "chartView"
        // The plot runs from below the heading down to the time labels, its
        // bars above the labels (-15 over the oldest, NOW over the newest).
        // Qt Charts shortens the value labels to "..." when the plot ends
        // less than about 110 px below the view's top edge, so the view
        // reaches up beyond the item; it is transparent there and takes no
        // input, so it covers nothing.
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.top: parent.top
        anchors.topMargin: -speedChart._viewOverreach
        enabled: false
        margins.top: speedChart._viewOverreach + speedChart._plotTop - speedChart._axisLabelOverhang
        margins.bottom: Math.max(0, speedChart.height - timeLabels.y + 2 - speedChart._axisLabelOverhang)
        margins.left: 12
        margins.right: 12
        backgroundColor: "transparent"
        antialiasing: true
        legend.visible: false

        BarSeries {
            id: speedSeries

            barWidth: 0.6

            axisX: BarCategoryAxis {
                id: timeAxis

                categories: ["14", "13", "12", "11", "10", "9", "8", "7", "6", "5", "4", "3", "2", "1", "N"]
                visible: false
                lineVisible: false
                labelsVisible: false
                gridVisible: false
            }

            axisY: ValueAxis {
                id: valueAxis

                min: 0
                max: speedChart._samples.axisMaximum
                tickCount: 5
                lineVisible: false
                gridVisible: false
                labelsColor: speedChart._figureColor
                labelsFont.pointSize: Theme.pointSmall
            }

            BarSet {
                id: speedSet

                label: "Speed"
                color: speedChart._figureColor
                borderColor: speedChart._figureColor
                values: speedChart._samples.bars
            }
        }
    }

    Text {
        id: heading

        objectName: "heading"
        anchors.horizontalCenter: parent.horizontalCenter
        y: 20
        text: speedChart.title + " " + speedChart.valueUnit
        color: Theme.label
        font.pixelSize: Theme.textNormal
    }

    Row {
        id: timeLabels

        objectName: "timeLabels"
        x: speedChart.width * 0.17
        anchors.bottom: parent.bottom
        anchors.bottomMargin: speedChart.height * 0.2
        spacing: chartView.width * 0.08

        Repeater {
            model: ["-15", "-10", "-5"]

            Text {
                text: speedChart.timeLabel(modelData)
                color: speedChart._figureColor
                font.pointSize: Theme.pointSmall
            }
        }

        Text {
            text: qsTr("NOW")
            color: speedChart._figureColor
            font.pointSize: Theme.pointSmall
        }
    }
}
