// The large dashed area that takes dropped movies, or opens the file picker
// when clicked. Drops are refused while a batch runs; the highlight still
// follows a file drag then.
import QtQuick
import QtQuick.Controls.Basic
import Bramblecrest

Item {
    id: root

    required property AppModel appModel
    // True while a drag carrying file URLs is over the zone.
    property bool hovering: false

    objectName: "dropZone"
    implicitWidth: button.implicitWidth
    implicitHeight: button.implicitHeight

    function hasFileUrl(urls) {
        for (const url of urls) {
            if (url.toString().startsWith("file:"))
                return true
        }
        return false
    }

    // The whole rectangle is the button, padding and corners included.
    AccessibleButton {
        id: button

        objectName: "dropZoneButton"
        anchors.fill: parent
        enabled: !root.appModel.running
        topPadding: 28
        bottomPadding: 28
        leftPadding: 0
        rightPadding: 0
        focusPolicy: Qt.StrongFocus
        Accessible.role: Accessible.Button
        Accessible.name: "Add movies"
        Accessible.description: "Drop your MOV files here, or activate to browse for them"

        onClicked: root.appModel.browse()

        contentItem: Column {
            spacing: 10
            opacity: button.enabled ? 1 : 0.55

            Icon {
                name: "arrow.down.document"
                color: Style.accent
                size: 29
                weight: 1.2
                anchors.horizontalCenter: parent.horizontalCenter
            }
            Text {
                text: "Drop your MOV files here"
                color: Style.primaryText
                font.pixelSize: 17
                font.weight: Font.DemiBold
                anchors.horizontalCenter: parent.horizontalCenter
            }
            Text {
                text: "or click to browse · multiple files welcome"
                color: Style.secondary
                font.pixelSize: 12
                anchors.horizontalCenter: parent.horizontalCenter
            }
        }

        background: Item {
            Rectangle {
                objectName: "dropZoneFill"
                anchors.fill: parent
                radius: 14
                color: root.hovering ? Qt.rgba(Style.accent.r, Style.accent.g, Style.accent.b, 0.12)
                                     : Qt.rgba(1, 1, 1, 0.035)
            }
            RoundedOutline {
                objectName: "dropZoneBorder"
                anchors.fill: parent
                radius: 14
                color: Qt.rgba(Style.accent.r, Style.accent.g, Style.accent.b, root.hovering ? 0.8 : 0.28)
            }
            Rectangle {
                anchors.fill: parent
                anchors.margins: -3
                radius: 17
                color: "transparent"
                border.color: Style.accent
                border.width: 2
                visible: button.visualFocus
            }
        }
    }

    // A sibling of the button, not its child: a disabled button would take
    // no drags, and the highlight must follow a drag during a batch too.
    DropArea {
        objectName: "dropArea"
        anchors.fill: parent
        keys: ["text/uri-list"]

        onEntered: drag => {
            if (!root.hasFileUrl(drag.urls)) {
                drag.accepted = false
                return
            }
            root.hovering = true
        }
        onExited: root.hovering = false
        onDropped: drop => {
            root.hovering = false
            if (root.appModel.running) {
                drop.accepted = false
                return
            }
            for (const url of drop.urls)
                root.appModel.add([url])
            drop.accept(Qt.CopyAction)
        }
    }
}
