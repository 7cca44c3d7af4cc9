// The queue: one row per item, scrolling once the rows need more than 230.
pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Bramblecrest

ListView {
    id: root

    required property AppModel appModel
    required property QtObject revealer

    objectName: "queueList"
    model: appModel.items
    spacing: 10
    clip: true
    boundsBehavior: Flickable.StopAtBounds
    // As tall as the rows need, between 65 and 230, and shorter (down to 65)
    // when the window has no more room.
    Layout.minimumHeight: 65
    Layout.maximumHeight: Math.max(65, Math.min(230, contentHeight))
    Layout.preferredHeight: Layout.maximumHeight
    Layout.fillHeight: true
    Accessible.role: Accessible.List
    Accessible.name: "Queue"

    ScrollBar.vertical: ScrollBar {
        objectName: "queueScrollBar"
        policy: root.contentHeight > root.height ? ScrollBar.AlwaysOn : ScrollBar.AsNeeded
    }

    delegate: QueueRow {
        width: root.width
        appModel: root.appModel
        revealer: root.revealer
    }
}
