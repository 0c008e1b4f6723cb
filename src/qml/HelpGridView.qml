import QtQuick 2.12

// The help for the grid view: priorities and pins.
FocusScope {
    id: helpGridView

    signal okPressed()
    signal learnMoreLinkActivated()

    // Shown, the right-hand link takes the focus, whichever had it before.
    onVisibleChanged: if (visible) okLink.forceActiveFocus()

    Text {
        id: title

        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: parent.top
        anchors.topMargin: 10
        text: qsTr("HELP")
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
        anchors.margins: 10
        text: qsTr("Use Command Center to set priority levels for your applications. Selecting CRITICAL PRIORITY for a game improves your gaming experience. Once you have set the priority, use the pin icon to force the rank within each particular priority. Once pinned, an application remains at that rank until you change it.")
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
        onLinkCLicked: helpGridView.learnMoreLinkActivated()
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
        onLinkCLicked: helpGridView.okPressed()
    }
}
