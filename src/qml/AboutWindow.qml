import QtQuick 2.12

// The about window: the program's icon, its version and who owns it. The
// title takes the focus while the window is shown; Tab moves it to the
// version and back. Escape passes on to the enclosing popup.
FocusScope {
    id: aboutWindow

    // The main window, for the version.
    property QtObject mainWindow: rootWindow

    readonly property color _textColor: Theme.textAlt
    readonly property int _textSize: Theme.textAbout

    onVisibleChanged: if (visible) title.forceActiveFocus()

    Text {
        id: title

        objectName: "title"
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: parent.top
        anchors.topMargin: 10
        focus: true
        text: qsTr("ABOUT")
        color: aboutWindow._textColor
        font.pixelSize: Theme.textTitle
        KeyNavigation.tab: versionText
    }

    Image {
        id: icon

        objectName: "icon"
        anchors.left: parent.left
        anchors.top: title.bottom
        anchors.leftMargin: 25
        anchors.topMargin: 10
        width: 120
        height: 120
        source: "qrc:/res/kestrix.ico"
        sourceSize: Qt.size(240, 240)
        smooth: true
        mipmap: true
    }

    Text {
        id: versionText

        objectName: "versionText"
        anchors.left: icon.right
        anchors.top: icon.top
        anchors.leftMargin: 10
        text: qsTr("Version") + ": " + aboutWindow.mainWindow.productVersion
        color: aboutWindow._textColor
        font.pixelSize: aboutWindow._textSize
        KeyNavigation.tab: title
    }

    Text {
        id: makerText

        objectName: "makerText"
        anchors.left: versionText.left
        anchors.top: versionText.bottom
        anchors.topMargin: 15
        width: aboutWindow.width * 0.6
        text: qsTr("Kestrix Command Center is made by Velmora.")
        color: aboutWindow._textColor
        font.pixelSize: aboutWindow._textSize
        wrapMode: Text.WordWrap
    }

    Text {
        id: copyrightText

        objectName: "copyrightText"
        anchors.left: makerText.left
        anchors.top: makerText.bottom
        anchors.topMargin: 15
        width: makerText.width
        text: qsTr("© 2026 Velmora. All rights reserved.")
        color: aboutWindow._textColor
        font.pixelSize: aboutWindow._textSize
        wrapMode: Text.WordWrap
    }

    Text {
        id: licenceText

        objectName: "licenceText"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.leftMargin: 25
        anchors.rightMargin: 25
        anchors.bottomMargin: 10
        text: qsTr("Licensed to the user of a Kestrix adapter.")
        color: aboutWindow._textColor
        font.pixelSize: aboutWindow._textSize
        wrapMode: Text.WordWrap
    }
}
