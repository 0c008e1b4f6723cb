import QtQuick 2.12

// One rate pair: download and upload over the unit, between an arrow pointing
// down and one pointing up. The values come in Mbps and are divided by
// valueDevider, so that a chart counting in Gbps shows Gbps here too.
Item {
    id: rateItem

    property var downloadValue: ""
    property var uploadValue: ""
    property string valueUnit: ""
    property int valueDevider: 1

    readonly property string downloadText: _scaled(downloadValue)
    readonly property string uploadText: _scaled(uploadValue)
    readonly property color _textColor: Theme.rate
    readonly property int _pointSize: Theme.pointRate

    function _scaled(value) {
        return (Number(value) / rateItem.valueDevider).toFixed(1)
    }

    implicitWidth: rates.width
    implicitHeight: 30

    Row {
        id: rates

        anchors.bottom: parent.verticalCenter
        anchors.horizontalCenter: parent.horizontalCenter
        spacing: 5

        Image {
            anchors.bottom: parent.bottom
            width: 10
            height: 15
            source: "qrc:/res/rate_arrow.png"
            smooth: true
            mipmap: true
        }

        Text {
            objectName: "downloadText"
            anchors.bottom: parent.bottom
            text: rateItem.downloadText
            color: rateItem._textColor
            font.pointSize: rateItem._pointSize
        }

        Text {
            anchors.bottom: parent.bottom
            text: "|"
            color: rateItem._textColor
            font.pointSize: rateItem._pointSize
        }

        Text {
            objectName: "uploadText"
            anchors.bottom: parent.bottom
            text: rateItem.uploadText
            color: rateItem._textColor
            font.pointSize: rateItem._pointSize
        }

        Image {
            anchors.bottom: parent.bottom
            width: 10
            height: 15
            source: "qrc:/res/rate_arrow.png"
            rotation: 180
            smooth: true
            mipmap: true
        }
    }

    Text {
        objectName: "unitText"
        anchors.top: parent.verticalCenter
        anchors.horizontalCenter: parent.horizontalCenter
        text: rateItem.valueUnit
        color: rateItem._textColor
        font.pointSize: rateItem._pointSize
    }
}
