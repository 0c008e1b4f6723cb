import QtQuick 2.12

// A line of text, and optionally an image after it, painted in the frame
// gradient from the item's top to its bottom: the text and the image are
// drawn first and the gradient over them keeps only what they cover. Drawn
// into an image at the screen's pixel ratio, which every scene graph shows.
Canvas {
    id: gradientText

    property string text
    property font font
    // Text.AlignLeft or Text.AlignHCenter; vertically the line is centred.
    property int horizontalAlignment: Text.AlignHCenter
    // An image of iconSize x iconSize, 5 px after the text, centred vertically.
    property url iconSource
    property real iconSize: 0

    readonly property real contentWidth: metrics.advanceWidth
    readonly property real _textX: horizontalAlignment === Text.AlignLeft ? 0 : Math.round((width - contentWidth) / 2)

    onTextChanged: requestPaint()
    onFontChanged: requestPaint()
    onWidthChanged: requestPaint()
    onHeightChanged: requestPaint()
    onImageLoaded: requestPaint()
    Component.onCompleted: {
        if (iconSource != "")
            loadImage(iconSource)
    }

    onPaint: {
        var context = getContext("2d")
        context.reset()
        context.font = (font.bold ? "bold " : "") + (font.pixelSize > 0 ? font.pixelSize + "px " : font.pointSize + "pt ")
                       + "\"" + fontMetrics.font.family + "\", sans-serif"
        context.fillStyle = "white"
        context.fillText(text, _textX, Math.round((height - fontMetrics.height) / 2) + fontMetrics.ascent)
        if (iconSource != "" && isImageLoaded(iconSource))
            context.drawImage(iconSource, _textX + contentWidth + 5, (height - iconSize) / 2, iconSize, iconSize)
        var gradient = context.createLinearGradient(0, 0, 0, height)
        gradient.addColorStop(0, "" + Theme.frameEdge)
        gradient.addColorStop(0.5, "" + Theme.frameMiddle)
        gradient.addColorStop(1, "" + Theme.frameEdge)
        context.globalCompositeOperation = "source-in"
        context.fillStyle = gradient
        context.fillRect(0, 0, width, height)
    }

    TextMetrics {
        id: metrics

        font: gradientText.font
        text: gradientText.text
    }

    FontMetrics {
        id: fontMetrics

        font: gradientText.font
    }
}
