import QtQuick 2.12

// The getting-started help of the first start. "Next" leads on into the
// settings and their help; "Learn more" opens the help page.
FocusScope {
    id: helpGettingStarted

    signal linkNextActivated()
    signal learnMoreLinkActivated()

    // Shown, the right-hand link takes the focus, whichever had it before.
    onVisibleChanged: if (visible) nextLink.forceActiveFocus()

    Text {
        id: title

        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: parent.top
        anchors.topMargin: 10
        text: qsTr("GETTING STARTED")
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
        text: qsTr("Welcome to the Velmora Kestrix Command Center. The Command Center helps optimize your network settings and improve your gaming, streaming video, or web surfing experience when running a variety of PC apps. Please follow the on-screen instructions during initial setup of the utility.")
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
        KeyNavigation.tab: nextLink
        onLinkCLicked: helpGettingStarted.learnMoreLinkActivated()
    }

    LinkText {
        id: nextLink

        objectName: "nextLink"
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 10
        focus: true
        text: qsTr("Next")
        font.pixelSize: 18
        KeyNavigation.tab: learnMoreLink
        onLinkCLicked: helpGettingStarted.linkNextActivated()
    }
}
