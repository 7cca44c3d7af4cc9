// One queued movie: state icon, name, status, progress while converting, and
// "Show" for a finished MP4 or a remove button while no batch runs.
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Bramblecrest

Rectangle {
    id: root

    required property int index
    required property string itemId
    required property string fileName
    required property double progress
    required property string status
    required property url output
    required property bool failed
    required property AppModel appModel
    required property QtObject revealer
    // The list, scrolled so a control that takes keyboard focus is in view.
    property ListView list

    // The window's animation beat: the bar takes the progress on it, so a
    // row never asks for a frame of its own.
    property int beat: 0
    property double shownProgress: progress
    onBeatChanged: shownProgress = progress
    onKindChanged: shownProgress = progress

    readonly property bool done: output.toString().length > 0
    // done, failed, waiting (no batch), queued (in a batch, not reached) or converting
    readonly property string kind: done ? "done"
        : failed ? "failed"
        : !appModel.running ? "waiting"
        : status === "Ready" ? "queued" : "converting"
    // A converting row of a paused batch says so, its bar where it stopped.
    readonly property string shownStatus: kind === "converting" && appModel.paused ? "Paused" : status

    // Rows are made as the list scrolls, so Tab only reaches the next row's
    // controls once this one's are in view.
    function keepInView() {
        if (list)
            list.positionViewAtIndex(index, ListView.Contain)
    }

    objectName: "queueRow"
    implicitHeight: content.implicitHeight + 24
    // A screen reader reads the row as its file name, then its state.
    Accessible.role: Accessible.ListItem
    Accessible.name: fileName
    Accessible.description: kind === "converting" ? shownStatus + ", " + Math.round(progress * 100) + " %"
        : done ? status + ", drag the MP4 to another application or copy it with Ctrl+C"
        : status
    color: Qt.rgba(1, 1, 1, 0.04)
    radius: 9

    // A finished MP4 goes to another application by dragging the row, or
    // by Ctrl+C. A press on one of the row's controls stays theirs, and the
    // window's own drag (which moves it) cannot take the row's over.
    DragHandler {
        objectName: "rowDrag"
        target: null
        enabled: root.done
        grabPermissions: PointerHandler.TakeOverForbidden
        onActiveChanged: if (active)
            FileHandOver.drag(root, root.output)
    }
    function copyOutput() {
        if (!done)
            return false
        FileHandOver.copy(output)
        return true
    }
    Keys.onPressed: event => {
        if (event.matches(StandardKey.Copy))
            event.accepted = copyOutput()
    }

    RowLayout {
        id: content

        anchors.fill: parent
        anchors.margins: 12
        spacing: 12

        Icon {
            objectName: "rowIcon"
            name: root.done ? "checkmark.circle.fill" : root.failed ? "exclamationmark.circle" : "film"
            color: root.failed ? Style.orange : Style.accent
            size: 20
            Layout.alignment: Qt.AlignTop
            Layout.topMargin: 3
        }
        ColumnLayout {
            spacing: 5
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignTop

            Text {
                objectName: "rowTitle"
                text: root.fileName
                color: Style.primaryText
                font.pixelSize: 13
                font.weight: Font.Medium
                elide: Text.ElideRight
                maximumLineCount: 1
                textFormat: Text.PlainText
                Layout.fillWidth: true
                Accessible.role: Accessible.StaticText
                Accessible.name: text
            }
            TextEdit {
                objectName: "rowStatus"
                text: root.shownStatus
                color: Style.secondary
                font.pixelSize: 11
                wrapMode: TextEdit.Wrap
                textFormat: TextEdit.PlainText
                readOnly: true
                selectByMouse: true
                selectionColor: Style.accent
                selectedTextColor: Style.black
                activeFocusOnPress: true
                Layout.fillWidth: true
                Accessible.role: Accessible.StaticText
                Accessible.name: text
            }
            ProgressBar {
                id: bar

                objectName: "rowProgress"
                visible: root.kind === "converting"
                from: 0
                to: 1
                value: root.shownProgress
                Layout.fillWidth: true
                Accessible.name: "Progress of " + root.fileName

                background: Rectangle {
                    implicitHeight: 4
                    radius: 2
                    color: Qt.rgba(1, 1, 1, 0.12)
                }
                contentItem: Item {
                    implicitHeight: 4
                    Rectangle {
                        width: bar.visualPosition * parent.width
                        height: parent.height
                        radius: 2
                        color: Style.accent
                    }
                }
            }
        }
        PushButton {
            objectName: "showButton"
            visible: root.done
            text: "Show"
            small: true
            Layout.alignment: Qt.AlignTop
            Accessible.name: "Show " + root.fileName + " in the file manager"
            onClicked: root.revealer.reveal(root.output)
            onActiveFocusChanged: if (activeFocus)
                root.keepInView()
        }
        AccessibleButton {
            objectName: "removeButton"
            visible: !root.done && !root.appModel.running
            flat: true
            padding: 4
            Layout.alignment: Qt.AlignTop
            Accessible.name: "Remove"
            Accessible.description: "Remove " + root.fileName + " from the queue"
            onClicked: root.appModel.remove(root.itemId)
            onActiveFocusChanged: if (activeFocus)
                root.keepInView()

            contentItem: Icon {
                name: "xmark"
                color: Style.secondary
                size: 14
                weight: 2
            }
            background: Rectangle {
                radius: 4
                color: parent.down ? Qt.rgba(1, 1, 1, 0.12) : parent.hovered ? Qt.rgba(1, 1, 1, 0.06) : "transparent"
                border.color: Style.accent
                border.width: parent.visualFocus ? 2 : 0
            }
        }
    }
}
