// Tells a screen reader how a running batch goes, without taking the focus:
// each row's change of stage ("Trip.mov: Done") and the end of the batch.
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
    // The movies of the running batch, and how many have ended so far.
    property int batch: 0
    property int converted: 0
    property int failed: 0
    property int cancelled: 0

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
    // Cancelling ends the running conversions with "Cancelled" and leaves
    // the movies not yet reached as they were.
    function outcome() {
        const stopped = cancelled > 0 || converted + failed < batch
        const parts = [converted === 0 ? "no movie converted"
            : converted === 1 ? "1 movie converted" : converted + " movies converted"]
        if (failed > 0)
            parts.push(failed + " failed")
        return (stopped ? "Conversion cancelled: " : "Conversion finished: ") + parts.join(", ")
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
            if (!root.appModel.running)
                return
            const items = root.appModel.items
            for (let row = topLeft.row; row <= bottomRight.row; ++row) {
                const index = items.index(row, 0)
                const status = items.data(index, QueueListModel.StatusRole)
                if (roles.includes(QueueListModel.StatusRole)) {
                    const name = items.data(index, QueueListModel.FileNameRole)
                    root.pending = root.pending.concat([name + ": " + status.trim()])
                }
                if (roles.includes(QueueListModel.OutputRole)
                    && items.data(index, QueueListModel.OutputRole).toString().length > 0)
                    ++root.converted
                // A failure's flag comes after its text.
                if (roles.includes(QueueListModel.FailedRole)
                    && items.data(index, QueueListModel.FailedRole)) {
                    if (status === "Cancelled")
                        ++root.cancelled
                    else
                        ++root.failed
                }
            }
        }
    }
    Connections {
        target: root.appModel

        function onRunningChanged() {
            if (root.appModel.running) {
                const items = root.appModel.items
                root.batch = 0
                for (let row = 0; row < items.count; ++row) {
                    const output = items.data(items.index(row, 0), QueueListModel.OutputRole)
                    if (output.toString().length === 0)
                        ++root.batch
                }
                root.pending = []
                root.converted = 0
                root.failed = 0
                root.cancelled = 0
            } else {
                root.flush(root.outcome())
            }
        }
    }
}
