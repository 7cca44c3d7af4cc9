// Close, minimise and maximise for a window without a title bar.
import QtQuick
import QtQuick.Controls.Basic

Row {
    id: root

    required property Window window

    objectName: "windowControls"
    spacing: 8

    component ControlButton: AccessibleButton {
        id: control

        required property color face
        required property string glyph

        implicitWidth: 13
        implicitHeight: 13
        padding: 0
        hoverEnabled: true
        focusPolicy: Qt.TabFocus

        background: Rectangle {
            radius: width / 2
            color: control.face
            opacity: control.down ? 0.7 : 1
            border.color: Style.primaryText
            border.width: control.visualFocus ? 2 : 0
        }
        contentItem: Text {
            text: control.glyph
            visible: root.hovered || control.visualFocus
            color: Qt.rgba(0, 0, 0, 0.6)
            font.pixelSize: 10
            font.bold: true
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
        }
    }
    property bool hovered: hover.hovered

    HoverHandler {
        id: hover
    }
    ControlButton {
        objectName: "minimizeButton"
        face: Qt.rgba(1, 0.74, 0.18, 1)
        glyph: "−"
        Accessible.name: "Minimise"
        onClicked: root.window.showMinimized()
    }
    ControlButton {
        objectName: "maximizeButton"
        face: Qt.rgba(0.16, 0.79, 0.25, 1)
        glyph: "+"
        Accessible.name: root.window.visibility === Window.Maximized ? "Restore" : "Maximise"
        onClicked: root.window.visibility === Window.Maximized ? root.window.showNormal() : root.window.showMaximized()
    }
    ControlButton {
        objectName: "closeButton"
        face: Qt.rgba(1, 0.37, 0.34, 1)
        glyph: "×"
        Accessible.name: "Close"
        onClicked: root.window.close()
    }
}
