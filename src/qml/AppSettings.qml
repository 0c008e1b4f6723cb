import QtQuick 2.12
import QtQuick.Controls 1.4 as C1
import QtQuick.Controls.Styles 1.4 as S1
import QtGraphicalEffects 1.12
import org.netvane.scenes 1.0

// The settings page: the speed limits with their editor, the adapter's
// network details, the three system options, and the ways to the settings
// help and the about window.
//
// Limits live in the controller in kbps; the page shows and edits Mbps.
// "CHECK FOR UPDATES" is only exposed (updateEnable): the main window stores
// the choice and tells the controller.
Item {
    id: appSettings

    property alias updateEnable: updatesBox.checked

    // The speed editor is open (spin boxes, "OK" and "Cancel") or closed
    // ("SET SPEED LIMITS").
    property bool _editorOpen: false

    readonly property bool _hasWindow: typeof rootWindow !== "undefined"
    readonly property color _textColor: "lightgrey"
    readonly property int _captionSize: 12
    readonly property int _buttonMoveDuration: 100
    readonly property int _buttonFadeDuration: 500

    signal helpPressed()
    signal aboutPressed()

    function _limitText(limit) {
        return SpeedUnits.mbpsText(limit, 2) + " " + qsTr("Mbps")
    }

    // The spin boxes start from the current limits in whole Mbps.
    function _openEditor() {
        uploadSpin.value = SpeedUnits.wholeMbps(appController.uploadSpeedLimit)
        downloadSpin.value = SpeedUnits.wholeMbps(appController.downloadSpeedLimit)
        _editorOpen = true
    }

    // Both limits go out together, download first, and only when one of
    // them differs from what the controller holds.
    function _acceptLimits() {
        _editorOpen = false
        var download = SpeedUnits.kbpsOfWholeMbps(downloadSpin.value)
        var upload = SpeedUnits.kbpsOfWholeMbps(uploadSpin.value)
        if (download !== appController.downloadSpeedLimit || upload !== appController.uploadSpeedLimit)
            appController.setSpeedLimits(download, upload)
    }

    function _cancelEditor() {
        _editorOpen = false
    }

    Text {
        id: title

        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: parent.top
        anchors.topMargin: 10
        text: qsTr("NETWORK SETTINGS")
        color: appSettings._textColor
        font.pixelSize: 18
    }

    Text {
        id: shaperCaption

        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: title.bottom
        anchors.topMargin: 20
        text: qsTr("SHAPER SETTINGS")
        color: appSettings._textColor
        font.pixelSize: appSettings._captionSize
    }

    ValueText {
        id: uploadLine

        objectName: "uploadLine"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: shaperCaption.bottom
        anchors.leftMargin: 40
        anchors.rightMargin: 40
        anchors.topMargin: 10
        text: qsTr("Upload Speed Limit")
        value: appSettings._limitText(appController.uploadSpeedLimit)
    }

    ValueText {
        id: downloadLine

        objectName: "downloadLine"
        anchors.left: uploadLine.left
        anchors.right: uploadLine.right
        anchors.top: uploadLine.bottom
        text: qsTr("Download Speed Limit")
        value: appSettings._limitText(appController.downloadSpeedLimit)
    }

    Item {
        id: speedEditor

        objectName: "speedEditor"
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: downloadLine.bottom
        anchors.topMargin: 5
        width: downloadLine.width * 0.6
        height: 30
        visible: appSettings._editorOpen

        Text {
            anchors.left: parent.left
            height: speedEditor.height / 2
            verticalAlignment: Text.AlignVCenter
            text: qsTr("UPLOAD")
            color: appSettings._textColor
            font.pixelSize: appSettings._captionSize
        }

        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            height: speedEditor.height / 2
            verticalAlignment: Text.AlignVCenter
            text: qsTr("Mbps")
            color: appSettings._textColor
            font.pixelSize: appSettings._captionSize
        }

        Text {
            anchors.right: parent.right
            height: speedEditor.height / 2
            verticalAlignment: Text.AlignVCenter
            text: qsTr("DOWNLOAD")
            color: appSettings._textColor
            font.pixelSize: appSettings._captionSize
        }

        C1.SpinBox {
            id: uploadSpin

            objectName: "uploadSpin"
            anchors.left: parent.left
            y: speedEditor.height / 2
            width: speedEditor.width / 2
            height: 20
            minimumValue: 0
            maximumValue: 10000
            decimals: 0
            font.pixelSize: 12
            style: S1.SpinBoxStyle {
                textColor: "black"
            }
        }

        C1.SpinBox {
            id: downloadSpin

            objectName: "downloadSpin"
            anchors.right: parent.right
            y: speedEditor.height / 2
            width: speedEditor.width / 2
            height: 20
            minimumValue: 0
            maximumValue: 10000
            decimals: 0
            font.pixelSize: 12
            style: S1.SpinBoxStyle {
                textColor: "black"
            }
        }
    }

    // "SET SPEED LIMITS" below the download line; while the editor is open it
    // is hidden and lies below the editor, carrying "OK" and "Cancel".
    Item {
        id: setLimitsButton

        objectName: "setLimitsButton"
        anchors.horizontalCenter: parent.horizontalCenter
        y: appSettings._editorOpen ? speedEditor.y + speedEditor.height + 10
                                   : downloadLine.y + downloadLine.height + 10
        width: 120
        height: 25
        visible: !appSettings._editorOpen

        Behavior on y {
            NumberAnimation {
                duration: appSettings._buttonMoveDuration
                easing.type: Easing.OutCubic
            }
        }

        Rectangle {
            id: setLimitsShape

            anchors.fill: parent
            visible: false
            color: "transparent"
            border.width: 2
            border.color: "lightgray"

            Text {
                anchors.centerIn: parent
                text: qsTr("SET SPEED LIMITS")
                color: "white"
                font.pixelSize: appSettings._captionSize
            }
        }

        LinearGradient {
            anchors.fill: parent
            source: setLimitsShape
            start: Qt.point(0, 0)
            end: Qt.point(0, height)
            gradient: Theme.frameGradient
        }

        MouseArea {
            anchors.fill: parent
            cursorShape: Qt.PointingHandCursor
            onClicked: appSettings._openEditor()
        }
    }

    Item {
        id: okButton

        objectName: "okButton"
        anchors.left: setLimitsButton.left
        anchors.top: setLimitsButton.top
        width: setLimitsButton.width / 2 - 2
        height: setLimitsButton.height
        visible: appSettings._editorOpen
        opacity: appSettings._editorOpen ? 1 : 0

        Behavior on opacity {
            NumberAnimation {
                duration: appSettings._buttonFadeDuration
                easing.type: Easing.OutCubic
            }
        }

        Rectangle {
            id: okShape

            anchors.fill: parent
            visible: false
            color: "transparent"
            border.width: 2
            border.color: "lightgray"

            Text {
                anchors.centerIn: parent
                text: qsTr("OK")
                color: "white"
            }
        }

        LinearGradient {
            anchors.fill: parent
            source: okShape
            start: Qt.point(0, 0)
            end: Qt.point(0, height)
            gradient: Theme.frameGradient
        }

        MouseArea {
            anchors.fill: parent
            cursorShape: Qt.PointingHandCursor
            onClicked: appSettings._acceptLimits()
        }
    }

    Item {
        id: cancelButton

        objectName: "cancelButton"
        anchors.right: setLimitsButton.right
        anchors.top: setLimitsButton.top
        width: setLimitsButton.width / 2 - 2
        height: setLimitsButton.height
        visible: appSettings._editorOpen
        opacity: appSettings._editorOpen ? 1 : 0

        Behavior on opacity {
            NumberAnimation {
                duration: appSettings._buttonFadeDuration
                easing.type: Easing.OutCubic
            }
        }

        Rectangle {
            id: cancelShape

            anchors.fill: parent
            visible: false
            color: "transparent"
            border.width: 2
            border.color: "lightgray"

            Text {
                anchors.centerIn: parent
                text: qsTr("Cancel")
                color: "white"
                font.pixelSize: 12
            }
        }

        LinearGradient {
            anchors.fill: parent
            source: cancelShape
            start: Qt.point(0, 0)
            end: Qt.point(0, height)
            gradient: Theme.frameGradient
        }

        MouseArea {
            anchors.fill: parent
            cursorShape: Qt.PointingHandCursor
            onClicked: appSettings._cancelEditor()
        }
    }

    Text {
        id: detailsCaption

        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: downloadLine.bottom
        anchors.topMargin: 80
        text: qsTr("DETAILED INFO")
        color: appSettings._textColor
        font.pixelSize: appSettings._captionSize
    }

    Column {
        id: details

        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: detailsCaption.bottom
        anchors.leftMargin: 30
        anchors.rightMargin: 30
        anchors.topMargin: 5
        spacing: 5

        ValueText {
            width: details.width
            text: qsTr("ADAPTER")
            value: appController.adapterName
        }

        ValueText {
            width: details.width
            text: qsTr("IP ADDRESS")
            value: appController.ip4Address
        }

        ValueText {
            width: details.width
            text: qsTr("IP V6 ADDRESS")
            value: appController.ip6Address
        }

        ValueText {
            width: details.width
            text: qsTr("GATEWAY")
            value: appController.gateWay
        }

        ValueText {
            width: details.width
            text: qsTr("NETMASK")
            value: appController.netMask
        }

        ValueText {
            width: details.width
            text: qsTr("MAC ADDRESS")
            value: appController.macAddress
        }

        ValueText {
            objectName: "routerLine"
            width: details.width
            text: qsTr("VLROUTER")
            value: appController.routerActivated ? qsTr("ACTIVE") : qsTr("INACTIVE")
        }
    }

    Text {
        id: systemCaption

        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: details.bottom
        anchors.topMargin: 10
        text: qsTr("SYSTEM SETTINGS")
        color: appSettings._textColor
        font.pixelSize: appSettings._captionSize
    }

    Column {
        id: options

        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: systemCaption.bottom
        anchors.leftMargin: 30
        anchors.rightMargin: 30
        anchors.topMargin: 5
        spacing: 5

        Item {
            width: options.width
            height: Math.max(startupLabel.height, startupBox.height)

            Text {
                id: startupLabel

                anchors.left: parent.left
                anchors.verticalCenter: parent.verticalCenter
                text: qsTr("RUN ON WINDOWS STARTUP")
                color: appSettings._textColor
                font.pixelSize: appSettings._captionSize
            }

            // Shows the window's autostart state; a click asks the window to
            // change it and then shows again what the window reports.
            RadioButtonCustom {
                id: startupBox

                objectName: "startupBox"
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                checked: appSettings._hasWindow ? rootWindow.isStartOnStartUpEnabled : false
                onClicked: {
                    if (appSettings._hasWindow)
                        rootWindow.setStartUpEnable(startupBox.checked)
                    startupBox.checked = Qt.binding(function() {
                        return appSettings._hasWindow ? rootWindow.isStartOnStartUpEnabled : false
                    })
                }
            }
        }

        Item {
            width: options.width
            height: Math.max(systemAppsLabel.height, systemAppsBox.height)

            Text {
                id: systemAppsLabel

                anchors.left: parent.left
                anchors.verticalCenter: parent.verticalCenter
                text: qsTr("SHOW SYSTEM APPLICATIONS")
                color: appSettings._textColor
                font.pixelSize: appSettings._captionSize
            }

            RadioButtonCustom {
                id: systemAppsBox

                objectName: "systemAppsBox"
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                checked: appSettings._hasWindow ? rootWindow.showSystemApps : false
                onClicked: {
                    if (appSettings._hasWindow)
                        rootWindow.showSystemApps = systemAppsBox.checked
                    systemAppsBox.checked = Qt.binding(function() {
                        return appSettings._hasWindow ? rootWindow.showSystemApps : false
                    })
                }
            }
        }

        Item {
            width: options.width
            height: Math.max(updatesLabel.height, updatesBox.height)

            Text {
                id: updatesLabel

                anchors.left: parent.left
                anchors.verticalCenter: parent.verticalCenter
                text: qsTr("CHECK FOR UPDATES")
                color: appSettings._textColor
                font.pixelSize: appSettings._captionSize
            }

            // Set once by the main window from the stored choice; the window
            // stores every change and tells the controller.
            RadioButtonCustom {
                id: updatesBox

                objectName: "updatesBox"
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
            }
        }
    }

    Image {
        id: helpButton

        objectName: "helpButton"
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 10
        width: 25
        height: 25
        source: "qrc:/res/help.png"
        smooth: true
        mipmap: true

        MouseArea {
            anchors.fill: parent
            cursorShape: Qt.WhatsThisCursor
            onClicked: appSettings.helpPressed()
        }
    }

    Item {
        id: aboutButton

        objectName: "aboutButton"
        anchors.left: parent.left
        anchors.bottom: parent.bottom
        anchors.margins: 10
        width: 80
        height: 25

        Rectangle {
            id: aboutShape

            anchors.fill: parent
            visible: false
            color: "transparent"
            border.width: 2
            border.color: "lightgray"

            Text {
                anchors.centerIn: parent
                text: qsTr("About")
                color: "white"
                font.pixelSize: 12
            }
        }

        LinearGradient {
            anchors.fill: parent
            source: aboutShape
            start: Qt.point(0, 0)
            end: Qt.point(0, height)
            gradient: Theme.frameGradient
        }

        MouseArea {
            anchors.fill: parent
            cursorShape: Qt.PointingHandCursor
            onClicked: appSettings.aboutPressed()
        }
    }
}
