import QtQuick 2.12

// The state panel between the two speed charts: the averaged and the highest
// rates of both directions, the stream-control switch and one line telling
// why the service or the adapter is not ready.
//
// The rates come from the charts through the footer; the states come from the
// controller, the switch's position through the window's streamDetectEnabled.
Item {
    id: serviceState

    property var roundedUploadSpeed: 0
    property var roundedDownloadSpeed: 0
    property var maxUploadSpeed: 0
    property var maxDownloadSpeed: 0
    property string valueUnit: ""
    property int valueDevider: 1

    // The main window: stream control as it sees it, and whether the
    // program was started at logon.
    property QtObject mainWindow: rootWindow

    readonly property bool _streamEnabled: serviceState.mainWindow.streamDetectEnabled
    readonly property bool _needServiceEnable: serviceState.mainWindow.isNeedServiceEnable
    readonly property string stateText: !appController.serverReady
                                        ? qsTr("SERVICE IS NOT READY")
                                        : appController.nicReady ? "" : appController.nicStateStr
    readonly property int _pointSize: Theme.pointLarge

    // The switch follows the controller; a click has moved it already, and
    // the controller's answer moves it again if it disagrees.
    on_StreamEnabledChanged: streamSwitch.checked = _streamEnabled

    // Started at logon: switch stream control on, whether or not the service
    // is there yet.
    Component.onCompleted: {
        if (_needServiceEnable)
            appController.setStreamControlState(true)
    }

    GradientFrame {
        objectName: "frame"
        anchors.fill: parent
        anchors.topMargin: 8
        anchors.bottomMargin: 8
        borderWidth: 5
    }

    Column {
        id: content

        anchors.fill: parent
        anchors.margins: 15

        Text {
            width: content.width
            height: content.height / 5
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            text: qsTr("DATA RATE")
            color: Theme.label
            font.pointSize: serviceState._pointSize
        }

        Item {
            id: rates

            width: content.width
            height: content.height / 3

            Text {
                id: averageCaption

                anchors.left: parent.left
                height: rates.height / 2
                verticalAlignment: Text.AlignVCenter
                text: qsTr("AVG. RATE")
                color: Theme.label
                font.pointSize: serviceState._pointSize
            }

            RateItem {
                id: averageRate

                objectName: "averageRate"
                anchors.left: parent.left
                anchors.top: averageCaption.bottom
                downloadValue: serviceState.roundedDownloadSpeed
                uploadValue: serviceState.roundedUploadSpeed
                valueUnit: serviceState.valueUnit
                valueDevider: serviceState.valueDevider
            }

            Text {
                id: maxCaption

                anchors.right: parent.right
                height: rates.height / 2
                verticalAlignment: Text.AlignVCenter
                text: qsTr("MAX RATE")
                color: Theme.label
                font.pointSize: serviceState._pointSize
            }

            RateItem {
                id: maxRate

                objectName: "maxRate"
                anchors.right: parent.right
                anchors.top: maxCaption.bottom
                downloadValue: serviceState.maxDownloadSpeed
                uploadValue: serviceState.maxUploadSpeed
                valueUnit: serviceState.valueUnit
                valueDevider: serviceState.valueDevider
            }
        }

        Switch2 {
            id: streamSwitch

            objectName: "streamSwitch"
            anchors.horizontalCenter: parent.horizontalCenter
            height: content.height / 6
            checked: serviceState._streamEnabled
            enabled: appController.serverReady
            onClicked: appController.setStreamControlState(streamSwitch.checked)
        }
    }

    Text {
        id: stateLine

        objectName: "stateLine"
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 20
        height: 10
        verticalAlignment: Text.AlignVCenter
        text: serviceState.stateText
        color: Theme.warning
        font.pointSize: Theme.pointSmall
    }
}
