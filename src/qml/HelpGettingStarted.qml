import QtQuick 2.12

// The getting-started help of the first start. "Next" leads on into the
// settings and their help; "Learn more" opens the help page.
HelpOverlay {
    signal linkNextActivated()

    title: qsTr("GETTING STARTED")
    text: qsTr("Welcome to the Velmora Kestrix Command Center. The Command Center helps optimize your network settings and improve your gaming, streaming video, or web surfing experience when running a variety of applications. Please follow the on-screen instructions during initial setup of the utility.")
    rightLinkText: qsTr("Next")
    onRightLinkActivated: linkNextActivated()
}
