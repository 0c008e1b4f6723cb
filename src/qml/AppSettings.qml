import QtQuick 2.12
import QtQuick.Controls 1.4 as C1
import QtQuick.Controls.Styles 1.4 as S1
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

    // The "CHECK FOR UPDATES" box; the main window sets it from the stored
    // choice and hears every change.
    property bool updateEnable: false
    // The main window: its autostart and system-applications settings.
    property QtObject mainWindow: rootWindow

    // The speed editor is open (spin boxes, "OK" and "Cancel") or closed
    // ("SET SPEED LIMITS").
    property bool _editorOpen: false

    readonly property color _textColor: Theme.text
    readonly property int _captionSize: Theme.textSmall
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
        font.pixelSize: Theme.textLarge
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
            font.pixelSize: appSettings._captionSize
            style: S1.SpinBoxStyle {
                textColor: Theme.ink
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
            font.pixelSize: appSettings._captionSize
            style: S1.SpinBoxStyle {
                textColor: Theme.ink
            }
        }
    }

    // "SET SPEED LIMITS" below the download line; while the editor is open it
    // is hidden and lies below the editor, carrying "OK" and "Cancel".
    FramedButton {
        id: setLimitsButton

        objectName: "setLimitsButton"
        anchors.horizontalCenter: parent.horizontalCenter
        y: appSettings._editorOpen ? speedEditor.y + speedEditor.height + 10
                                   : downloadLine.y + downloadLine.height + 10
        width: 120
        height: 25
        visible: !appSettings._editorOpen
        text: qsTr("SET SPEED LIMITS")
        font.pixelSize: appSettings._captionSize
        onClicked: appSettings._openEditor()

        Behavior on y {
            NumberAnimation {
                duration: appSettings._buttonMoveDuration
                easing.type: Easing.OutCubic
            }
        }
    }

    FramedButton {
        id: okButton

        objectName: "okButton"
        anchors.left: setLimitsButton.left
        anchors.top: setLimitsButton.top
        width: setLimitsButton.width / 2 - 2
        height: setLimitsButton.height
        visible: appSettings._editorOpen
        opacity: appSettings._editorOpen ? 1 : 0
        text: qsTr("OK")
        onClicked: appSettings._acceptLimits()

        Behavior on opacity {
            NumberAnimation {
                duration: appSettings._buttonFadeDuration
                easing.type: Easing.OutCubic
            }
        }
    }

    FramedButton {
        id: cancelButton

        objectName: "cancelButton"
        anchors.right: setLimitsButton.right
        anchors.top: setLimitsButton.top
        width: setLimitsButton.width / 2 - 2
        height: setLimitsButton.height
        visible: appSettings._editorOpen
        opacity: appSettings._editorOpen ? 1 : 0
        text: qsTr("Cancel")
        font.pixelSize: appSettings._captionSize
        onClicked: appSettings._cancelEditor()

        Behavior on opacity {
            NumberAnimation {
                duration: appSettings._buttonFadeDuration
                easing.type: Easing.OutCubic
            }
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

        // Shows the window's autostart state; a click asks the window to
        // change it, and the box then shows what the window reports.
        OptionRow {
            objectName: "startupOption"
            width: options.width
            text: qsTr("START AT LOGIN")
            checked: appSettings.mainWindow.isStartOnStartUpEnabled
            onToggled: appSettings.mainWindow.setStartUpEnable(on)
        }

        OptionRow {
            objectName: "systemAppsOption"
            width: options.width
            text: qsTr("SHOW SYSTEM APPLICATIONS")
            checked: appSettings.mainWindow.showSystemApps
            onToggled: appSettings.mainWindow.showSystemApps = on
        }

        OptionRow {
            objectName: "updatesOption"
            width: options.width
            text: qsTr("CHECK FOR UPDATES")
            checked: appSettings.updateEnable
            onToggled: appSettings.updateEnable = on
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

    FramedButton {
        id: aboutButton

        objectName: "aboutButton"
        anchors.left: parent.left
        anchors.bottom: parent.bottom
        anchors.margins: 10
        width: 80
        height: 25
        text: qsTr("About")
        font.pixelSize: appSettings._captionSize
        onClicked: appSettings.aboutPressed()
    }
}
