import QtQuick 2.12
import QtCharts 2.3
import QtGraphicalEffects 1.12

// A bar chart of one speed over the last fifteen seconds. Once a second it
// asks its owner for the current value (timerTrigered), takes it into the
// window of samples, scales the axis and the unit to the largest sample and
// publishes a weighted average and the maximum for the rate displays.
//
// All samples are kept in Mbps; only the bars and the axis are shown in the
// chart's unit, which becomes Gbps from 100 Mbps on.
Item {
    id: speedChart

    // The current speed in Mbps; the owner sets it, best on timerTrigered.
    property var value
    property string title: ""
    property int topBottomMargin: 0
    property string roundedValue: "0.0"
    property string maxValue: "0.0"
    property string valueUnit: qsTr("Mbps")
    property int valueDevider: 1
    // The sampling period; the chart samples once a second.
    property int sampleInterval: 1000

    // The sample window, oldest first, in Mbps.
    property var _samples: _idleWindow()

    // The chart's axes and bar set, for a look from outside.
    readonly property alias _timeAxis: timeAxis
    readonly property alias _valueAxis: valueAxis
    readonly property alias _speedSet: speedSet
    // The weight of position i (0 oldest, 14 newest) is (1/3)(2/3)^(14 - i):
    // the newest second counts most, and together they add up to just under 1.
    readonly property var _weights: {
        var weights = []
        for (var i = 0; i < _sampleCount; ++i)
            weights.push((1 / 3) * Math.pow(2 / 3, _sampleCount - 1 - i))
        return weights
    }
    readonly property int _sampleCount: 15
    // An idle bar is not empty but a thin line.
    readonly property real _idleSample: 0.01
    readonly property color _figureColor: "#03cdf9"
    // The chart keeps this much room above and below the plot for half a
    // value label.
    readonly property int _axisLabelOverhang: 17
    // Where the plot starts, below the heading.
    readonly property int _plotTop: 40
    // How far the chart view reaches above the item (see the view).
    readonly property int _viewOverreach: 40

    signal timerTrigered()

    // The top of the value axis for a largest value x: the next step of
    // 1, 2, 5, 10 times a power of ten strictly above x (1 gives 2, 5 gives
    // 10, 45 gives 50).
    function niceAxisMaximum(x) {
        var divisions = 0
        while (x >= 10) {
            x /= 10
            ++divisions
        }
        var leading = x < 1 ? "1" : x < 2 ? "2" : x < 5 ? "5" : "10"
        var zeros = ""
        for (var i = 0; i < divisions; ++i)
            zeros += "0"
        return Number(leading + zeros)
    }

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

        var sample = Number(speedChart.value)
        if (!isFinite(sample) || sample === 0)
            sample = _idleSample
        var samples = _samples.slice(1)
        samples.push(sample)

        var largest = Math.max.apply(Math, samples)
        var average = 0
        for (var i = 0; i < samples.length; ++i)
            average += samples[i] * _weights[i]

        // From 100 Mbps on the chart counts in Gbps; the published maximum
        // and average stay in Mbps, the rate displays divide them.
        var unit = qsTr("Mbps")
        var devider = 1
        var scaled = largest
        if (largest >= 100) {
            unit = qsTr("Gbps")
            devider = 1000
            scaled = largest / 1000
        }

        _samples = samples
        maxValue = largest.toFixed(1)
        roundedValue = average.toFixed(1)
        valueUnit = unit
        valueDevider = devider
        valueAxis.max = niceAxisMaximum(scaled)
        var bars = []
        for (var k = 0; k < samples.length; ++k)
            bars.push(Math.max(samples[k] / devider, _idleSample))
        speedSet.values = bars
    }

    function _idleWindow() {
        var samples = []
        for (var i = 0; i < _sampleCount; ++i)
            samples.push(_idleSample)
        return samples
    }

    Timer {
        id: sampleTimer

        interval: speedChart.sampleInterval
        repeat: true
        running: true
        onTriggered: speedChart.tick()
    }

    // Only the frame's shape: the gradient below paints it.
    Rectangle {
        id: frameShape

        anchors.fill: parent
        anchors.topMargin: speedChart.topBottomMargin
        anchors.bottomMargin: speedChart.topBottomMargin
        visible: false
        color: "transparent"
        border.width: 5
        border.color: "lightgrey"
    }

    LinearGradient {
        objectName: "frame"
        anchors.fill: frameShape
        source: frameShape
        start: Qt.point(0, 0)
        end: Qt.point(0, height)
        gradient: Theme.frameGradient
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
                max: 1
                tickCount: 5
                lineVisible: false
                gridVisible: false
                labelsColor: speedChart._figureColor
                labelsFont.pointSize: 8
            }

            BarSet {
                id: speedSet

                label: "Speed"
                color: speedChart._figureColor
                borderColor: speedChart._figureColor
                values: speedChart._idleWindow()
            }
        }
    }

    Text {
        id: heading

        objectName: "heading"
        anchors.horizontalCenter: parent.horizontalCenter
        y: 20
        text: speedChart.title + " " + speedChart.valueUnit
        color: "white"
        font.pixelSize: 14
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
                font.pointSize: 8
            }
        }

        Text {
            text: qsTr("NOW")
            color: speedChart._figureColor
            font.pointSize: 8
        }
    }
}
