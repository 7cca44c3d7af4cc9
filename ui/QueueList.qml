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
    // The list itself takes focus too: arrow keys then scroll through rows
    // whose controls Tab cannot reach yet (rows are made as they scroll in).
    activeFocusOnTab: true
    keyNavigationEnabled: true
    highlightFollowsCurrentItem: true
    Accessible.role: Accessible.List
    Accessible.name: "Queue"

    Rectangle {
        anchors.fill: parent
        color: "transparent"
        radius: 9
        border.color: Style.accent
        border.width: 2
        visible: root.activeFocus
        z: 2
    }

    ScrollBar.vertical: ScrollBar {
        objectName: "queueScrollBar"
        policy: root.contentHeight > root.height ? ScrollBar.AlwaysOn : ScrollBar.AsNeeded
    }

    delegate: QueueRow {
        list: root
        width: root.width
        appModel: root.appModel
        revealer: root.revealer
    }
}
