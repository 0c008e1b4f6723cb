pragma Singleton
import QtQuick 2.12

// The colours, gradients and sizes the scenes share.
QtObject {
    // Fills and texts.
    readonly property color navy: "#001232"
    readonly property color text: "lightgrey"
    readonly property color textAlt: "lightgray"
    readonly property color accent: "#00d8ff"
    readonly property color link: "lightblue"

    // The frame gradient: "white" at 0, "grey" at 0.5, "white" at 1, top to bottom.
    readonly property color frameEdge: "white"
    readonly property color frameMiddle: "grey"
    // The same stops as one object, for the LinearGradient masks that paint
    // frames, texts and icons in it.
    readonly property Gradient frameGradient: Gradient {
        GradientStop { position: 0.0; color: frameEdge }
        GradientStop { position: 0.5; color: frameMiddle }
        GradientStop { position: 1.0; color: frameEdge }
    }

    // Tooltips and help popups appear after the pointer rests this long.
    readonly property int popupAppearDelay: 1000

    // The window's fixed size.
    readonly property int windowWidth: 1280
    readonly property int windowHeight: 900
    // The transparent margin around the main area, where the shadow falls.
    readonly property int windowMargin: 10

    // Tooltips: the text's colour and point size, and the padding around it.
    readonly property color tooltipText: "lightgray"
    readonly property int tooltipPointSize: 10
    readonly property int tooltipPadding: 20
}
