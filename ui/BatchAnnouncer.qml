// Tells a screen reader how a running batch goes, without taking the focus:
// each row's change of stage ("Trip.mov: Done"), a pause and its end, and the
// end of the batch.
import QtQuick
import Bramblecrest

Item {
    id: root

    required property AppModel appModel
    // The window's animation beat: changes that came since the last beat are
    // announced together on it, at most four announcements a second.
    property int beat: 0

    property var pending: [] // lines not announced yet
    property int next: 0 // the notification the next announcement takes

    function flush(last) {
        const lines = last.length > 0 ? pending.concat([last]) : pending
        pending = []
        if (lines.length === 0)
            return
        // A screen reader reads a notification as it appears, so it is
        // hidden and shown again for each announcement.
        const notification = notifications.itemAt(next)
        next = (next + 1) % notifications.count
        notification.visible = false
        notification.text = lines.join("\n")
        notification.visible = true
    }
    function outcome() {
        const batch = root.appModel.batch
        const parts = [batch.converted === 0 ? "no movie converted"
            : batch.converted === 1 ? "1 movie converted" : batch.converted + " movies converted"]
        if (batch.failed > 0)
            parts.push(batch.failed + " failed")
        return (batch.cancelled ? "Conversion cancelled: " : "Conversion finished: ") + parts.join(", ")
    }

    objectName: "batchAnnouncer"

    onBeatChanged: flush("")

    // A screen reader asks for the text a moment after it is told of an
    // announcement, so announcements take turns among a few notifications:
    // each keeps its text while the next three are made.
    Repeater {
        id: notifications

        model: 4

        Item {
            property string text

            visible: false
            Accessible.role: Accessible.Notification
            Accessible.name: text
        }
    }

    Connections {
        target: root.appModel.items

        // Progress comes as its own role and is not read out; the stage
        // text changes a few times a movie.
        function onDataChanged(topLeft, bottomRight, roles) {
            if (!root.appModel.running || !roles.includes(QueueListModel.StatusRole))
                return
            const items = root.appModel.items
            for (let row = topLeft.row; row <= bottomRight.row; ++row) {
                const index = items.index(row, 0)
                const name = items.data(index, QueueListModel.FileNameRole)
                const status = items.data(index, QueueListModel.StatusRole)
                root.pending = root.pending.concat([name + ": " + status.trim()])
            }
        }
    }
    Connections {
        target: root.appModel

        function onRunningChanged() {
            if (root.appModel.running)
                root.pending = []
            else
                root.flush(root.outcome())
        }
        // At once: the beat stands still while the batch is paused. A batch
        // that ends paused is announced by its end alone.
        function onPausedChanged() {
            if (root.appModel.running)
                root.flush(root.appModel.paused ? "Paused" : "Resumed")
        }
    }
}
