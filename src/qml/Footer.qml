import QtQuick 2.12

// The bottom of the main area: the adapter vendor's logo, a separator, the
// upload chart, the state panel and the download chart side by side, and the
// help button.
//
// The charts and the state panel are stand-ins of their final size until
// the speed chart and the state panel join them.
Item {
    id: footer

    readonly property int _rowWidth: 850
    readonly property int _rowSpacing: -5
    readonly property int _separatorSpacing: 10
    readonly property int _chartMargin: 8
    readonly property int _bottomMargin: 15

    signal helpPressed()

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
            color: "lightgrey"
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

            Item {
                id: uploadChart

                objectName: "uploadChart"
                width: footer._rowWidth / 3 + 5
                height: chartRow.height
            }

            Item {
                id: statePanel

                objectName: "statePanel"
                width: footer._rowWidth / 3
                height: chartRow.height
            }

            Item {
                id: downloadChart

                objectName: "downloadChart"
                width: footer._rowWidth / 3 + 5
                height: chartRow.height
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
