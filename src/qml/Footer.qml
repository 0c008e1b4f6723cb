import QtQuick 2.12
import org.netvane.scenes 1.0

// The bottom of the main area: the adapter vendor's logo, a separator, the
// upload chart, the state panel and the download chart side by side, and the
// help button.
Item {
    id: footer

    readonly property int _rowWidth: 850
    readonly property int _rowSpacing: -5
    readonly property int _separatorSpacing: 10
    readonly property int _chartMargin: 8
    readonly property int _bottomMargin: 15

    signal helpPressed()

    // A chart's value: the controller's speed in Mbps while stream control
    // is on, else 0.
    function _speed(kilobits) {
        return appController.streamControlEnabled ? SpeedUnits.mbps(kilobits) : 0
    }

    Image {
        id: vendorLogo

        objectName: "vendorLogo"
        x: 20
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 10
        width: footer.width * 0.13
        height: footer.height * 0.8
        fillMode: Image.PreserveAspectFit
        verticalAlignment: Image.AlignBottom
        source: appController.vendorLogo !== "" ? appController.vendorLogo : "qrc:/res/velmora_logo.png"
        smooth: true
        mipmap: true
    }

    Column {
        anchors.left: parent.left
        anchors.right: parent.right
        spacing: footer._separatorSpacing

        Rectangle {
            id: separator

            x: footer.width * 0.07
            width: footer.width * 0.86
            height: 1
            color: Theme.text
        }

        // Neighbours overlap by 5 px, so the charts are 5 px wider than a
        // third.
        Row {
            id: chartRow

            objectName: "chartRow"
            anchors.horizontalCenter: parent.horizontalCenter
            width: footer._rowWidth
            height: footer.height - separator.height - footer._separatorSpacing
            spacing: footer._rowSpacing

            SpeedChart {
                id: uploadChart

                objectName: "uploadChart"
                width: footer._rowWidth / 3 + 5
                height: chartRow.height
                title: qsTr("UPLOAD SPEED")
                topBottomMargin: footer._chartMargin
                value: footer._speed(appController.uploadSpeed)
                onTimerTrigered: value = footer._speed(appController.uploadSpeed)
            }

            ServiceState {
                id: statePanel

                // The unit and divisor of the chart that divides more.
                readonly property var _unitChart: uploadChart.valueDevider > downloadChart.valueDevider
                                                  ? uploadChart : downloadChart

                objectName: "statePanel"
                width: footer._rowWidth / 3
                height: chartRow.height
                roundedUploadSpeed: uploadChart.roundedValue
                roundedDownloadSpeed: downloadChart.roundedValue
                maxUploadSpeed: uploadChart.maxValue
                maxDownloadSpeed: downloadChart.maxValue
                valueUnit: _unitChart.valueUnit
                valueDevider: _unitChart.valueDevider
            }

            SpeedChart {
                id: downloadChart

                objectName: "downloadChart"
                width: footer._rowWidth / 3 + 5
                height: chartRow.height
                title: qsTr("DOWNLOAD SPEED")
                topBottomMargin: footer._chartMargin
                value: footer._speed(appController.downloadSpeed)
                onTimerTrigered: value = footer._speed(appController.downloadSpeed)
            }
        }
    }

    Image {
        id: helpButton

        objectName: "helpButton"
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.rightMargin: footer._bottomMargin + footer._chartMargin
        anchors.bottomMargin: 8
        width: 25
        height: 25
        source: "qrc:/res/help.png"
        smooth: true
        mipmap: true

        MouseArea {
            anchors.fill: parent
            cursorShape: Qt.WhatsThisCursor
            onClicked: footer.helpPressed()
        }
    }
}
