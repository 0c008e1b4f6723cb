import QtQuick 2.12
import QtTest 1.12
import "qrc:/qml"

// The speed chart and the rate display: the sample window with its weighted
// average and maximum, the switch to Gbps at 100 Mbps and back once the peak
// has left the window, the nice axis maximum, the time labels, the bars, and
// the rate display's division by the chart's divisor.
//
// The sampling tick is driven by hand; the chart's own timer is slowed down
// so that it cannot add a sample in between.
Item {
    id: root

    width: 400
    height: 300

    Component {
        id: chartComponent

        SpeedChart {
            width: 850 / 3 + 5
            height: 169
            title: "UPLOAD SPEED"
            topBottomMargin: 8
            sampleInterval: 3600000
        }
    }

    // Fed as the footer feeds the upload chart: the controller's speed in
    // Mbps while stream control is on, 0 otherwise, re-read on every tick.
    Component {
        id: fedChartComponent

        SpeedChart {
            width: 850 / 3 + 5
            height: 169
            sampleInterval: 3600000
            onTimerTrigered: value = appController.streamControlEnabled ? appController.uploadSpeed / 1000 : 0
        }
    }

    Component {
        id: rateComponent

        RateItem {
        }
    }

    SignalSpy {
        id: tickSpy

        signalName: "timerTrigered"
    }

    TestCase {
        name: "SpeedChart"
        when: windowShown

        function createChart() {
            var chart = createTemporaryObject(chartComponent, root)
            verify(chart !== null)
            return chart
        }

        function feed(chart, values) {
            for (var i = 0; i < values.length; ++i) {
                chart.value = values[i]
                chart.tick()
            }
        }

        function bars(chart) {
            var values = chart._speedSet.values
            var result = []
            for (var i = 0; i < values.length; ++i)
                result.push(Math.round(values[i] * 1e6) / 1e6)
            return result
        }

        function idleBars(count) {
            var result = []
            for (var i = 0; i < count; ++i)
                result.push(0.01)
            return result
        }

        function cleanup() {
            appController.streamControlEnabled = false
            appController.uploadSpeed = 0
        }

        function test_startsIdle() {
            var chart = createChart()
            compare(chart.roundedValue, "0.0")
            compare(chart.maxValue, "0.0")
            compare(chart.valueUnit, "Mbps")
            compare(chart.valueDevider, 1)
            compare(chart._valueAxis.min, 0)
            compare(chart._valueAxis.max, 1)
            compare(chart._valueAxis.tickCount, 5)
            compare(bars(chart), idleBars(15))
            compare(chart._timeAxis.categories,
                    ["14", "13", "12", "11", "10", "9", "8", "7", "6", "5", "4", "3", "2", "1", "N"])
            compare(chart._timeAxis.visible, false)
            compare(findChild(chart, "heading").text, "UPLOAD SPEED Mbps")
        }

        function test_oneSecondOf45AfterIdle() {
            var chart = createChart()
            feed(chart, [45])
            compare(chart.maxValue, "45.0")
            // 45 / 3 plus the idle samples' shares of 0.01.
            compare(chart.roundedValue, "15.0")
            compare(chart.valueUnit, "Mbps")
            compare(chart._valueAxis.max, 50)
            compare(bars(chart), idleBars(14).concat([45]))
        }

        // The newest sample weighs 1/3, the one before 2/9, and so on back
        // to the oldest at (1/3)(2/3)^14.
        function test_weightedAverageFavoursTheNewest() {
            var chart = createChart()
            var values = [90, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0]
            feed(chart, values)
            // 90 × (1/3)(2/3)^14 ≈ 0.1 plus fourteen idle shares.
            compare(chart.roundedValue, "0.1")
            compare(chart.maxValue, "90.0")

            values = [1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15]
            feed(chart, values)
            var expected = 0
            for (var i = 0; i < 15; ++i)
                expected += values[i] * Math.pow(2, 14 - i) / Math.pow(3, 15 - i)
            compare(chart.roundedValue, expected.toFixed(1))
            compare(chart.roundedValue, "13.0")
            compare(chart.maxValue, "15.0")
        }

        function test_maximumIsTheLargestInTheWindow() {
            var chart = createChart()
            feed(chart, [12.34, 80, 7])
            compare(chart.maxValue, "80.0")
            feed(chart, [3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3])
            // 12.34 has gone; 80 came one tick later and is still there on
            // the fourteenth tick after it.
            compare(chart.maxValue, "80.0")
            feed(chart, [3])
            compare(chart.maxValue, "7.0")
        }

        function test_peakSwitchesToGbpsUntilItLeavesTheWindow() {
            var chart = createChart()
            feed(chart, [300])
            compare(chart.valueUnit, "Gbps")
            compare(chart.valueDevider, 1000)
            compare(chart.maxValue, "300.0")
            compare(chart._valueAxis.max, 1)
            compare(bars(chart)[14], 0.3)
            // Idle bars stay a thin line in Gbps too.
            compare(bars(chart)[13], 0.01)
            compare(findChild(chart, "heading").text, "UPLOAD SPEED Gbps")

            for (var i = 1; i <= 14; ++i) {
                feed(chart, [0])
                compare(chart.valueUnit, "Gbps", "tick " + i + " after the peak")
            }
            feed(chart, [0])
            compare(chart.valueUnit, "Mbps")
            compare(chart.valueDevider, 1)
            compare(chart.maxValue, "0.0")
            compare(chart._valueAxis.max, 1)
            compare(bars(chart), idleBars(15))
            compare(findChild(chart, "heading").text, "UPLOAD SPEED Mbps")
        }

        function test_gbpsFromExactly100Mbps() {
            var chart = createChart()
            feed(chart, [99.9])
            compare(chart.valueUnit, "Mbps")
            compare(chart._valueAxis.max, 100)
            feed(chart, [100])
            compare(chart.valueUnit, "Gbps")
            compare(chart.valueDevider, 1000)
            compare(chart._valueAxis.max, 1)
            compare(bars(chart).slice(13), [0.0999, 0.1])
        }

        function test_niceAxisMaximum_data() {
            return [
                { tag: "0.37", x: 0.37, max: 1 },
                { tag: "1 on a step", x: 1, max: 2 },
                { tag: "1.5", x: 1.5, max: 2 },
                { tag: "3.2", x: 3.2, max: 5 },
                { tag: "5 on a step", x: 5, max: 10 },
                { tag: "7", x: 7, max: 10 },
                { tag: "10 on a step", x: 10, max: 20 },
                { tag: "45", x: 45, max: 50 },
                { tag: "50 on a step", x: 50, max: 100 },
                { tag: "99", x: 99, max: 100 },
                { tag: "250", x: 250, max: 500 }
            ]
        }

        function test_niceAxisMaximum(data) {
            var chart = createChart()
            compare(chart.niceAxisMaximum(data.x), data.max)
            // The same through a tick, below the switch to Gbps.
            if (data.x < 100) {
                feed(chart, [data.x])
                compare(chart._valueAxis.max, data.max)
            }
        }

        function test_timeLabels() {
            var chart = createChart()
            compare(chart.timeLabel("-15"), "  -15\nseconds\n")
            compare(chart.timeLabel("-10"), "  -10\nseconds\n")
            // Half of 5 rounded up.
            compare(chart.timeLabel("-5"), "   -5\nseconds\n")
            var row = findChild(chart, "timeLabels")
            var texts = []
            for (var i = 0; i < row.children.length; ++i) {
                if (row.children[i].text !== undefined)
                    texts.push(row.children[i].text)
            }
            compare(texts, ["  -15\nseconds\n", "  -10\nseconds\n", "   -5\nseconds\n", "NOW"])
            fuzzyCompare(row.x, chart.width * 0.17, 0.001)
            fuzzyCompare(row.y + row.height, chart.height * 0.8, 0.001)
            fuzzyCompare(row.spacing, findChild(chart, "chartView").width * 0.08, 0.001)
        }

        function test_tickAsksForTheValueFirst() {
            var chart = createTemporaryObject(fedChartComponent, root)
            appController.uploadSpeed = 45000
            appController.streamControlEnabled = false
            for (var i = 0; i < 3; ++i)
                chart.tick()
            // Stream control off: the chart is fed 0.
            compare(chart.maxValue, "0.0")
            compare(chart.roundedValue, "0.0")
            compare(chart.valueUnit, "Mbps")
            compare(chart._valueAxis.max, 1)
            compare(bars(chart), idleBars(15))

            appController.streamControlEnabled = true
            chart.tick()
            compare(chart.maxValue, "45.0")
            compare(chart.roundedValue, "15.0")
        }

        function test_timerTicksEverySecond() {
            var chart = createTemporaryObject(chartComponent, root, { sampleInterval: 1000 })
            tickSpy.target = chart
            tickSpy.clear()
            chart.value = 12
            wait(500)
            compare(tickSpy.count, 0)
            tickSpy.wait(1000)
            compare(chart.maxValue, "12.0")
            tickSpy.wait(1500)
            compare(tickSpy.count, 2)
            tickSpy.target = null
        }
    }

    TestCase {
        name: "RateItem"
        when: windowShown

        function test_showsValuesOverTheDivisor() {
            var rate = createTemporaryObject(rateComponent, root, {
                downloadValue: "300.0", uploadValue: 45, valueUnit: "Gbps", valueDevider: 1000 })
            compare(findChild(rate, "downloadText").text, "0.3")
            compare(findChild(rate, "uploadText").text, "0.0")
            compare(findChild(rate, "unitText").text, "Gbps")

            rate.valueDevider = 1
            rate.valueUnit = "Mbps"
            compare(findChild(rate, "downloadText").text, "300.0")
            compare(findChild(rate, "uploadText").text, "45.0")
            rate.uploadValue = "12.34"
            compare(findChild(rate, "uploadText").text, "12.3")
        }

        function test_sizedByItsParts() {
            var rate = createTemporaryObject(rateComponent, root, { downloadValue: 1, uploadValue: 2, valueUnit: "Mbps" })
            compare(rate.implicitHeight, 30)
            var row = findChild(rate, "downloadText").parent
            var parts = 0
            for (var i = 0; i < row.children.length; ++i)
                parts += row.children[i].width
            compare(row.children.length, 5)
            compare(rate.implicitWidth, parts + 4 * 5)
        }
    }
}
