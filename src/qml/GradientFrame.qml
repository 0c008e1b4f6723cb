import QtQuick 2.12

// A frame of borderWidth painted in the frame gradient from the item's top to
// its bottom, the inside left open: the two sides carry the whole gradient,
// the top and bottom edges, full width beneath the sides so that no rounding
// of a fractional position opens a gap, the short pieces of it they cover.
// Plain rectangles, which every scene graph draws.
Item {
    id: gradientFrame

    property int borderWidth: 1

    opacity: 0.999

    readonly property real _edge: height > 0 ? borderWidth / height : 0

    Rectangle {
        width: gradientFrame.width
        height: gradientFrame.borderWidth
        gradient: Gradient {
            GradientStop { position: 0.0; color: Theme.frameColorAt(0) }
            GradientStop { position: 1.0; color: Theme.frameColorAt(gradientFrame._edge) }
        }
    }

    Rectangle {
        y: gradientFrame.height - height
        width: gradientFrame.width
        height: gradientFrame.borderWidth
        gradient: Gradient {
            GradientStop { position: 0.0; color: Theme.frameColorAt(1 - gradientFrame._edge) }
            GradientStop { position: 1.0; color: Theme.frameColorAt(1) }
        }
    }

    Rectangle {
        width: gradientFrame.borderWidth
        height: gradientFrame.height
        gradient: Theme.frameGradient
    }

    Rectangle {
        x: gradientFrame.width - width
        width: gradientFrame.borderWidth
        height: gradientFrame.height
        gradient: Theme.frameGradient
    }
}
