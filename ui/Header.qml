// The window's header: icon, name and the format tag.
import QtQuick
import QtQuick.Layouts

RowLayout {
    objectName: "header"

    Icon {
        name: "play.rectangle.fill"
        color: Style.accent
        size: 29
    }
    Text {
        objectName: "title"
        text: "Bramblecrest"
        color: Style.primaryText
        font.pixelSize: 22
        font.bold: true
        Accessible.role: Accessible.Heading
        Accessible.name: text
    }
    Item {
        Layout.fillWidth: true
    }
    Text {
        objectName: "formatTag"
        text: "MOV → MP4"
        color: Style.secondary
        font.pixelSize: 12
        font.weight: Font.DemiBold
        font.family: "monospace"
    }
}
