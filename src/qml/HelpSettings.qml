import QtQuick 2.12

// The help for the settings page: the speed limits and the network details.
FocusScope {
    id: helpSettings

    signal okPressed()
    signal learnMoreLinkActivated()

    // Shown, the right-hand link takes the focus, whichever had it before.
    onVisibleChanged: if (visible) okLink.forceActiveFocus()

    Text {
        id: title

        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: parent.top
        anchors.topMargin: 10
        text: qsTr("SETTINGS HELP")
        color: "#efefef"
        font.pixelSize: 20
        font.bold: true
    }

    Text {
        objectName: "body"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: title.bottom
        anchors.bottom: learnMoreLink.top
        anchors.margins: 15
        text: qsTr("Set the Download/Upload bandwidth settings for your Internet connection prior to use. To optimize your experience, we recommend setting download at 90% of your ISP speed. The NETWORK SETTINGS screen displays the adapter type, IPv6 address, MAC address, and other basic network setting information.")
        color: "lightgray"
        font.pixelSize: 18
        wrapMode: Text.WordWrap
        // A wide font may need more lines than the overlay has; the text
        // then shrinks rather than run under the links.
        fontSizeMode: Text.Fit
        minimumPixelSize: 12
    }

    LinkText {
        id: learnMoreLink

        objectName: "learnMoreLink"
        anchors.left: parent.left
        anchors.bottom: parent.bottom
        anchors.margins: 10
        text: qsTr("Learn more")
        font.pixelSize: 18
        KeyNavigation.tab: okLink
        onLinkCLicked: helpSettings.learnMoreLinkActivated()
    }

    LinkText {
        id: okLink

        objectName: "okLink"
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 10
        focus: true
        text: qsTr("OK")
        font.pixelSize: 18
        KeyNavigation.tab: learnMoreLink
        onLinkCLicked: helpSettings.okPressed()
    }
}
