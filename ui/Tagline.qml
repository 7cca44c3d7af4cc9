// The headline, always on two lines, and the line under it.
import QtQuick
import QtQuick.Layouts

ColumnLayout {
    objectName: "tagline"
    spacing: 7

    Text {
        id: headline

        objectName: "headline"
        text: "From QuickTime\nto your timeline."
        color: Style.primaryText
        font.pixelSize: 37
        font.bold: true
        wrapMode: Text.NoWrap
        textFormat: Text.PlainText
        // Lines sit 2 closer than the font's own line height.
        lineHeightMode: Text.FixedHeight
        lineHeight: metrics.lineSpacing - 2
        Accessible.role: Accessible.Heading
        Accessible.name: text.replace("\n", " ")

        FontMetrics {
            id: metrics
            font: headline.font
        }
    }
    Text {
        objectName: "subtitle"
        text: "Simple MP4 conversion for Premiere Pro."
        color: Style.secondary
        font.pixelSize: 13
    }
}
