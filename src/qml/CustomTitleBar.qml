import QtQuick 2.12
import QtQuick.Window 2.12

// The window's own title bar: product logo, the adapter model on its plate,
// and the settings, minimise and close buttons. Dragging anywhere else on
// the bar moves the window.
Item {
    id: customTitleBar

    // The window the bar moves.
    property QtObject mainWindow: customTitleBar.Window.window
    readonly property string _model: appController.adapterModel
    readonly property bool _wideModel: _model.length > 10
    // Models of 20 characters or more do not fit even the wide plate.
    readonly property bool _modelShown: _model.length > 0 && _model.length < 20
    // A third of a row that is 10 % of the bar wide; the row itself takes
    // its content's width, so that the close button keeps its 10 px from
    // the right edge.
    readonly property real _buttonSize: width * 0.1 / 3

    signal settingsClicked()
    signal minimizeClicked()
    signal closeClicked()

    // Beneath the buttons: they take their own clicks.
    //
    // The window manager moves the window where the platform can ask it to
    // (startSystemMove(): on Wayland, where a window's own changes of x and
    // y are ignored, and under X11 window managers). Elsewhere the bar moves
    // the window itself, by the pointer's travel since the press.
    MouseArea {
        id: dragArea

        property point _pressPoint: Qt.point(0, 0)
        property bool _movedBySystem: false

        anchors.fill: parent
        onPressed: {
            _pressPoint = Qt.point(mouse.x, mouse.y)
            var window = customTitleBar.mainWindow
            _movedBySystem = window !== null && window.startSystemMove()
        }
        onPositionChanged: {
            var window = customTitleBar.mainWindow
            if (!window || _movedBySystem)
                return
            window.x += mouse.x - _pressPoint.x
            window.y += mouse.y - _pressPoint.y
        }
    }

    Image {
        id: productLogo

        x: 40
        y: 30
        width: customTitleBar.width * 0.3
        height: customTitleBar.height * 0.75
        source: "qrc:/res/velmora_command_center.png"
        smooth: true
        mipmap: true
    }

    Image {
        id: modelPlate

        objectName: "modelPlate"
        anchors.left: productLogo.right
        anchors.leftMargin: 40
        y: 30
        width: customTitleBar.width * 0.44
        height: customTitleBar.height * 0.8
        visible: customTitleBar._modelShown
        source: customTitleBar._wideModel ? "qrc:/res/adapter_model_bg_wide.png" : "qrc:/res/adapter_model_bg.png"
        smooth: true
        mipmap: true

        Text {
            id: modelText

            objectName: "modelText"
            anchors.centerIn: parent
            width: modelPlate.width * (customTitleBar._wideModel ? 0.45 : 0.3)
            text: customTitleBar._model
            color: Theme.text
            font.pixelSize: Theme.textTitle
            font.capitalization: Font.AllUppercase
            horizontalAlignment: Text.AlignHCenter
            elide: Text.ElideRight
        }
    }

    Row {
        id: windowButtons

        anchors.top: parent.top
        anchors.right: parent.right
        anchors.rightMargin: 10
        spacing: 5

        Repeater {
            model: [
                { name: "settingsButton", image: "qrc:/res/settings.png", hovered: "qrc:/res/settings_hovered.png",
                  clicked: "settingsClicked" },
                { name: "minimizeButton", image: "qrc:/res/minimize.png", hovered: "qrc:/res/minimize_hovered.png",
                  clicked: "minimizeClicked" },
                { name: "windowCloseButton", image: "qrc:/res/close.png", hovered: "qrc:/res/close_hovered.png",
                  clicked: "closeClicked" }
            ]

            Item {
                objectName: modelData.name
                width: customTitleBar._buttonSize
                height: customTitleBar._buttonSize

                // Rendered at the cell's size, so shown at its own size.
                Image {
                    anchors.bottom: parent.bottom
                    anchors.horizontalCenter: parent.horizontalCenter
                    source: buttonArea.containsMouse ? modelData.hovered : modelData.image
                }

                MouseArea {
                    id: buttonArea

                    anchors.fill: parent
                    hoverEnabled: true
                    onClicked: customTitleBar[modelData.clicked]()
                }
            }
        }
    }
}
