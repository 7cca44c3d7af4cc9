// "Clear list" on the left; Convert, or Pause (Resume) and Cancel with a
// spinner during a batch.
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Bramblecrest

RowLayout {
    id: root

    required property AppModel appModel
    property int beat: 0 // the window's animation beat

    // Keyboard focus follows the action as Convert and the batch's buttons swap places.
    property bool batchButtonHadFocus: false

    // Hiding takes the focus away first, so remember it across that.
    function followFocus(button) {
        batchButtonHadFocus = button.activeFocus || (!button.visible && batchButtonHadFocus)
    }
    function returnFocus(button) {
        if (!button.visible && batchButtonHadFocus) {
            batchButtonHadFocus = false
            Qt.callLater(() => convertButton.forceActiveFocus())
        }
    }

    objectName: "actionBar"

    AccessibleButton {
        id: clearButton

        objectName: "clearButton"
        visible: root.appModel.items.count > 0 && !root.appModel.running
        text: "Clear list"
        flat: true
        font.pixelSize: 13
        Accessible.name: text
        onClicked: root.appModel.clear()

        contentItem: Text {
            text: clearButton.text
            font: clearButton.font
            color: Style.secondary
        }
        background: Rectangle {
            color: "transparent"
            radius: 4
            border.color: Style.accent
            border.width: clearButton.visualFocus ? 2 : 0
        }
    }
    // Where the whole batch stands, in place of "Clear list" while it runs.
    // Only read, not announced: the rows' stages and the end are.
    Text {
        objectName: "batchStatus"
        visible: root.appModel.running && text.length > 0
        text: root.appModel.estimate.text
        color: Style.secondary
        font.pixelSize: 13
        textFormat: Text.PlainText
        elide: Text.ElideRight
        Layout.fillWidth: true
        Layout.leftMargin: clearButton.leftPadding // where the title of "Clear list" stands
        Accessible.role: Accessible.StatusBar
        Accessible.name: text
    }
    Item {
        visible: !root.appModel.running
        Layout.fillWidth: true
    }
    AccessibleButton {
        id: convertButton

        objectName: "convertButton"
        visible: !root.appModel.running
        enabled: root.appModel.hasPending
        text: "Convert to MP4  →"
        leftPadding: 22
        rightPadding: 22
        topPadding: 12
        bottomPadding: 12
        opacity: enabled ? 1 : 0.45
        Accessible.name: "Convert to MP4"
        onClicked: {
            const hadFocus = activeFocus
            root.appModel.start()
            if (hadFocus)
                cancelButton.forceActiveFocus()
        }

        contentItem: Text {
            text: convertButton.text
            textFormat: Text.PlainText
            color: Style.black
            font.pixelSize: 14
            font.bold: true
        }
        background: Rectangle {
            radius: 9
            color: convertButton.down ? Qt.darker(Style.accent, 1.15) : Style.accent
            border.color: Style.primaryText
            border.width: convertButton.visualFocus ? 2 : 0
        }
    }
    PushButton {
        id: pauseButton

        objectName: "pauseButton"
        visible: root.appModel.running
        text: root.appModel.paused ? "Resume" : "Pause"
        // As wide for either word, so the buttons stay where they are.
        Layout.preferredWidth: Math.max(implicitWidth, widerWord.width + leftPadding + rightPadding)
        Accessible.name: root.appModel.paused ? "Resume conversion" : "Pause conversion"
        onClicked: root.appModel.paused ? root.appModel.resume() : root.appModel.pause()
        onActiveFocusChanged: root.followFocus(pauseButton)
        onVisibleChanged: root.returnFocus(pauseButton)

        TextMetrics {
            id: widerWord

            text: "Resume"
            font: pauseButton.font
        }
    }
    PushButton {
        id: cancelButton

        objectName: "cancelButton"
        visible: root.appModel.running
        text: "Cancel"
        Accessible.name: "Cancel conversion"
        onClicked: root.appModel.cancel()
        onActiveFocusChanged: root.followFocus(cancelButton)
        onVisibleChanged: root.returnFocus(cancelButton)
    }
    Spinner {
        objectName: "spinner"
        step: root.beat
        visible: root.appModel.running
        // Still while paused, and out of the way without moving the buttons.
        opacity: root.appModel.paused ? 0 : 1
        Accessible.ignored: root.appModel.paused
    }
}
