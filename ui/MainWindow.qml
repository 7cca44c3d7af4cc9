// One application window: frameless, its content reaching the top edge,
// moved by its background and resized by its edges.
import QtQuick
import Bramblecrest

Window {
    id: root

    required property AppModel model
    property QtObject revealer: FileRevealer

    signal newWindowRequested

    objectName: "mainWindow"
    title: "Bramblecrest"
    flags: Qt.Window | Qt.FramelessWindowHint
    width: 600
    height: 680
    minimumWidth: 560
    // 570 at least, and more when the queue needs it to keep every section in view.
    minimumHeight: Math.max(570, Math.ceil(content.minimumContentHeight))
    color: Style.background

    ContentView {
        id: content

        anchors.fill: parent
        model: root.model
        revealer: root.revealer
        focus: true
    }

    WindowControls {
        window: root
        anchors.top: parent.top
        anchors.right: parent.right
        anchors.topMargin: 9
        anchors.rightMargin: 12
    }

    // A one-pixel edge, so two windows side by side do not run into each other.
    Rectangle {
        objectName: "windowEdge"
        anchors.fill: parent
        z: 1
        color: "transparent"
        border.color: Style.windowEdge
        border.width: 1
        visible: root.visibility !== Window.Maximized && root.visibility !== Window.FullScreen
    }

    // Edges and corners resize the window.
    component Edge: MouseArea {
        required property int edges

        acceptedButtons: Qt.LeftButton
        onPressed: WindowManagerDrag.resize(root, edges)
    }
    readonly property int grip: 5
    Edge { edges: Qt.LeftEdge; cursorShape: Qt.SizeHorCursor; x: 0; y: root.grip; width: root.grip; height: root.height - 2 * root.grip }
    Edge { edges: Qt.RightEdge; cursorShape: Qt.SizeHorCursor; x: root.width - root.grip; y: root.grip; width: root.grip; height: root.height - 2 * root.grip }
    Edge { edges: Qt.TopEdge; cursorShape: Qt.SizeVerCursor; x: root.grip; y: 0; width: root.width - 2 * root.grip; height: root.grip }
    Edge { edges: Qt.BottomEdge; cursorShape: Qt.SizeVerCursor; x: root.grip; y: root.height - root.grip; width: root.width - 2 * root.grip; height: root.grip }
    Edge { edges: Qt.LeftEdge | Qt.TopEdge; cursorShape: Qt.SizeFDiagCursor; width: root.grip * 2; height: root.grip * 2 }
    Edge { edges: Qt.RightEdge | Qt.BottomEdge; cursorShape: Qt.SizeFDiagCursor; x: root.width - 2 * root.grip; y: root.height - 2 * root.grip; width: root.grip * 2; height: root.grip * 2 }
    Edge { edges: Qt.RightEdge | Qt.TopEdge; cursorShape: Qt.SizeBDiagCursor; x: root.width - 2 * root.grip; width: root.grip * 2; height: root.grip * 2 }
    Edge { edges: Qt.LeftEdge | Qt.BottomEdge; cursorShape: Qt.SizeBDiagCursor; y: root.height - 2 * root.grip; width: root.grip * 2; height: root.grip * 2 }

    Shortcut {
        sequence: "Ctrl+N"
        onActivated: root.newWindowRequested()
    }
    Shortcut {
        sequence: "Ctrl+W"
        onActivated: root.close()
    }
    Shortcut {
        sequence: "Ctrl+Q"
        onActivated: Qt.quit()
    }
    Shortcut {
        sequence: "Escape"
        enabled: root.model.running
        onActivated: root.model.cancel()
    }
    Shortcut {
        sequence: "Ctrl+P"
        enabled: root.model.running
        onActivated: root.model.paused ? root.model.resume() : root.model.pause()
    }
}
