import QtQuick 2.12
import QtQuick.Window 2.12

// A first main scene: the controller's state as text, until the real window
// replaces it.
Window {
    id: rootWindow

    width: 640
    height: 480
    visible: !isNeedWindowHide
    color: "#001232"

    Connections {
        target: appController
        function onRestoreWindow() {
            rootWindow.show()
            rootWindow.raise()
            rootWindow.requestActivate()
        }
    }

    Column {
        anchors.fill: parent
        anchors.margins: 20
        spacing: 6

        Repeater {
            model: [
                "VERSION: " + swVersion,
                "SERVICE: " + (appController.serverReady ? "READY" : "SERVICE IS NOT READY"),
                "STREAM CONTROL: " + (appController.streamControlEnabled ? "ON" : "OFF"),
                "ADAPTER: " + appController.adapterName + "  " + appController.adapterModel,
                "IPV4: " + appController.ip4Address + "  GATEWAY: " + appController.gateWay,
                "DOWNLOAD: " + (appController.downloadSpeed / 1000).toFixed(2) + " Mbps  UPLOAD: "
                    + (appController.uploadSpeed / 1000).toFixed(2) + " Mbps",
                "LIMITS: " + appController.downloadSpeedLimit + " / " + appController.uploadSpeedLimit + " kbps",
                "APPLICATIONS AND SITES: " + list.count
            ]
            Text {
                text: modelData
                color: "lightgrey"
                font.pixelSize: 16
            }
        }

        ListView {
            id: list

            width: parent.width
            height: 240
            clip: true
            model: appController.overviewModel()
            delegate: Text {
                text: appName + "  " + (downloadSpeed / 1000).toFixed(2) + " Mbps  priority " + priority
                color: "#00d8ff"
                font.pixelSize: 13
            }
        }
    }
}
