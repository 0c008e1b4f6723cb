pragma Singleton
import QtQuick 2.12

// The colours, gradients, font sizes and sizes the scenes share.
QtObject {
    // Fills and texts.
    readonly property color navy: "#001232"
    readonly property color text: "lightgrey"
    readonly property color textAlt: "lightgray"
    readonly property color link: "lightblue"
    // White texts: headings, captions and the labels of framed buttons.
    readonly property color label: "white"
    readonly property color helpTitle: "#efefef"
    // The charts' bars, axis and time labels, and the rate displays.
    readonly property color figure: "#03cdf9"
    readonly property color rate: "#1dccfd"
    // The state panel's line saying what is not ready.
    readonly property color warning: "#a38d1c"
    // Text on light grounds: spin boxes and the open priority choice.
    readonly property color ink: "black"
    readonly property color highlight: "lightsteelblue"
    readonly property color closeGlyph: "gray"
    readonly property color dimmer: "black"
    readonly property color comboText: "#111"
    readonly property color comboSelection: "#000040"

    // The sliding switch, checked and not.
    readonly property color switchTrackOn: "#03CDF9"
    readonly property color switchTrackOff: "#999A9E"
    readonly property color switchTrackEdgeOn: "#00A7CD"
    readonly property color switchTrackEdgeOff: "#747D83"
    readonly property color switchKnobOn: "#0C3D5B"
    readonly property color switchKnobOff: "#444547"
    readonly property color switchKnobEdgeOn: "#103C57"
    readonly property color switchKnobEdgeOff: "#33373B"

    // The frame gradient: "white" at 0, "grey" at 0.5, "white" at 1, top to bottom.
    readonly property color frameEdge: "white"
    readonly property color frameMiddle: "grey"
    // The same stops as one object, for rectangles filled with it.
    readonly property Gradient frameGradient: Gradient {
        GradientStop { position: 0.0; color: frameEdge }
        GradientStop { position: 0.5; color: frameMiddle }
        GradientStop { position: 1.0; color: frameEdge }
    }

    // The frame gradient's colour at position (0 at the top, 1 at the bottom).
    function frameColorAt(position) {
        var edge = Math.min(1, Math.abs(2 * position - 1))
        return Qt.rgba(frameMiddle.r + (frameEdge.r - frameMiddle.r) * edge,
                       frameMiddle.g + (frameEdge.g - frameMiddle.g) * edge,
                       frameMiddle.b + (frameEdge.b - frameMiddle.b) * edge, 1)
    }

    // Speed and progress bars: the dark track and the light part that fills it.
    readonly property Gradient barTrack: Gradient {
        GradientStop { position: 0.0; color: "#555" }
        GradientStop { position: 1.0; color: "#111" }
    }
    readonly property Gradient barFill: Gradient {
        GradientStop { position: 0.0; color: "lightgrey" }
        GradientStop { position: 0.5; color: "#666" }
        GradientStop { position: 1.0; color: "lightgrey" }
    }

    // Font sizes in pixels.
    readonly property int textBar: 7
    readonly property int textTile: 10
    readonly property int textSmall: 12
    readonly property int textNormal: 14
    readonly property int textAbout: 16
    readonly property int textLarge: 18
    readonly property int textTitle: 20
    // Font sizes in points.
    readonly property int pointSmall: 8
    readonly property int pointNormal: 10
    readonly property int pointRate: 11
    readonly property int pointLarge: 12

    // Tooltips and help popups appear after the pointer rests this long.
    readonly property int popupAppearDelay: 1000

    // The window's fixed size.
    readonly property int windowWidth: 1280
    readonly property int windowHeight: 900
    // The transparent margin around the main area, where the shadow falls.
    readonly property int windowMargin: 10

    // Tooltips: the text's colour and point size, and the padding around it.
    readonly property color tooltipText: "lightgray"
    readonly property int tooltipPointSize: pointNormal
    readonly property int tooltipPadding: 20
}
