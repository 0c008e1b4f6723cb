import QtQuick 2.12

// The help for the settings page: the speed limits and the network details.
HelpOverlay {
    signal okPressed()

    title: qsTr("SETTINGS HELP")
    text: qsTr("Set the Download/Upload bandwidth settings for your Internet connection prior to use. To optimize your experience, we recommend setting download at 90% of your ISP speed. The NETWORK SETTINGS screen displays the adapter type, IPv6 address, MAC address, and other basic network setting information.")
    bodyMargins: 15
    rightLinkText: qsTr("OK")
    onRightLinkActivated: okPressed()
}
