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
    property int beat: 0 // the window's animation beat

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
    // Ctrl+C with the list focused copies the current row's MP4.
    Keys.onPressed: event => {
        if (event.matches(StandardKey.Copy) && currentItem)
            event.accepted = currentItem.copyOutput()
    }

    Rectangle {
        anchors.fill: parent
        color: "transparent"
        radius: 9
        border.color: Style.accent
        border.width: 2
        visible: root.activeFocus
        z: 2
    }

    // A row that is being converted is scrolled into view whenever its stage
    // changes (not at each progress report, so the user can still scroll),
    // once the rows above it have taken their new heights. With several rows
    // converting side by side the earliest one is kept in view, until it ends.
    property int keptRow: -1
    function showRow(row) {
        positionViewAtIndex(row, ListView.Contain)
    }
    function waiting(row) {
        const items = appModel.items
        return items.data(items.index(row, 0), QueueListModel.StatusRole) === "Ready"
    }
    function converting(row) {
        const items = appModel.items
        const index = items.index(row, 0)
        return index.valid && !waiting(row) && !items.data(index, QueueListModel.FailedRole)
            && items.data(index, QueueListModel.OutputRole).toString().length === 0
    }
    // The earliest row from `row` on that is converting, or -1. Rows start in
    // queue order, so none past a waiting row is.
    function earliestConverting(row) {
        for (; row < count && !waiting(row); ++row) {
            if (converting(row))
                return row
        }
        return -1
    }
    Connections {
        target: root.appModel.items

        function onDataChanged(topLeft, bottomRight, roles) {
            // A stage change, or the end of a row (a failure's flag comes
            // after its text).
            const stages = [QueueListModel.StatusRole, QueueListModel.FailedRole, QueueListModel.OutputRole]
            if (!root.appModel.running || (roles.length > 0 && !roles.some(role => stages.includes(role))))
                return
            // The kept row may have ended while the next was already converting.
            if (!root.converting(root.keptRow) || topLeft.row < root.keptRow)
                root.keptRow = root.earliestConverting(
                    root.keptRow < 0 ? topLeft.row : Math.min(root.keptRow, topLeft.row))
            if (root.keptRow >= 0)
                Qt.callLater(root.showRow, root.keptRow)
        }
    }
    Connections {
        target: root.appModel

        function onRunningChanged() {
            root.keptRow = -1
        }
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
        beat: root.beat
    }
}
