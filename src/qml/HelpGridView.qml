import QtQuick 2.12

// The help for the grid view: priorities and pins.
HelpOverlay {
    signal okPressed()

    title: qsTr("HELP")
    text: qsTr("Use Command Center to set priority levels for your applications. Selecting CRITICAL PRIORITY for a game improves your gaming experience. Once you have set the priority, use the pin icon to force the rank within each particular priority. Once pinned, an application remains at that rank until you change it.")
    rightLinkText: qsTr("OK")
    onRightLinkActivated: okPressed()
}
