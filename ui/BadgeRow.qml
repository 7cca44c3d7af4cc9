// Two fixed labels: what the output is, and that nothing leaves the machine.
import QtQuick
import QtQuick.Layouts

RowLayout {
    objectName: "badgeRow"
    spacing: 8

    component Badge: Row {
        required property string icon
        required property string text

        spacing: 5
        Accessible.role: Accessible.StaticText
        Accessible.name: text

        Icon {
            name: parent.icon
            color: Style.secondary
            size: 13
            weight: 1.9
            anchors.verticalCenter: parent.verticalCenter
        }
        Text {
            text: parent.text
            color: Style.secondary
            font.pixelSize: 11
            anchors.verticalCenter: parent.verticalCenter
        }
    }

    Badge {
        objectName: "formatBadge"
        icon: "checkmark.seal"
        text: "H.264 + AAC"
    }
    Item {
        Layout.fillWidth: true
    }
    Badge {
        objectName: "privacyBadge"
        icon: "lock"
        text: "Files stay on your computer"
    }
}
