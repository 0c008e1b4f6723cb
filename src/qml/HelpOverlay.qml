import QtQuick 2.12

// The content of a help overlay: a bold title, a paragraph, "Learn more" at
// the left and the overlay's own link at the right, which takes the focus
// whenever the overlay shows. Tab moves between the links, Return activates
// the focused one.
FocusScope {
    id: helpOverlay

    property alias title: title.text
    property alias text: body.text
    property alias rightLinkText: rightLink.text
    property int bodyMargins: 10

    signal rightLinkActivated()
    signal learnMoreLinkActivated()

    // Shown, the right-hand link takes the focus, whichever had it before.
    onVisibleChanged: if (visible) rightLink.forceActiveFocus()

    Text {
        id: title

        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: parent.top
        anchors.topMargin: 10
        color: Theme.helpTitle
        font.pixelSize: Theme.textTitle
        font.bold: true
    }

    Text {
        id: body

        objectName: "body"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: title.bottom
        anchors.bottom: learnMoreLink.top
        anchors.margins: helpOverlay.bodyMargins
        color: Theme.textAlt
        font.pixelSize: Theme.textLarge
        wrapMode: Text.WordWrap
        // A wide font may need more lines than the overlay has; the text
        // then shrinks rather than run under the links.
        fontSizeMode: Text.Fit
        minimumPixelSize: Theme.textSmall
    }

    LinkText {
        id: learnMoreLink

        objectName: "learnMoreLink"
        anchors.left: parent.left
        anchors.bottom: parent.bottom
        anchors.margins: 10
        text: qsTr("Learn more")
        font.pixelSize: Theme.textLarge
        KeyNavigation.tab: rightLink
        onLinkCLicked: helpOverlay.learnMoreLinkActivated()
    }

    LinkText {
        id: rightLink

        objectName: "rightLink"
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 10
        focus: true
        font.pixelSize: Theme.textLarge
        KeyNavigation.tab: learnMoreLink
        onLinkCLicked: helpOverlay.rightLinkActivated()
    }
}
