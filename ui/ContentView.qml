// The one view of a window: header, tagline, drop zone, queue, destination,
// badges, notice and actions, stacked 22 apart and centred in the window.
import QtQuick
import QtQuick.Layouts
import Bramblecrest

Item {
    id: root

    required property AppModel model
    // Everything that moves while a batch runs (the spinner, the rows' bars)
    // steps on this one beat, four times a second, so the window draws one
    // frame per beat however many rows are converting; idle or paused,
    // nothing ticks.
    property int beat: 0
    // Shows a finished MP4 in the file manager; tests hand in their own.
    property QtObject revealer: FileRevealer

    // The least height that shows every section, the queue at its shortest.
    readonly property real minimumContentHeight: sections.implicitHeight + 2 * Style.windowPadding
        - (queue.visible ? queue.Layout.preferredHeight - queue.Layout.minimumHeight : 0)

    objectName: "contentView"
    implicitWidth: 600
    implicitHeight: 680

    palette.window: Style.background
    palette.windowText: Style.primaryText
    palette.base: Style.controlBase
    palette.alternateBase: Style.controlMidlight
    palette.text: Style.primaryText
    palette.button: Style.controlFace
    palette.buttonText: Style.primaryText
    palette.brightText: Style.primaryText
    palette.light: Style.controlLight
    palette.midlight: Style.controlMidlight
    palette.mid: Style.controlLine
    palette.dark: Style.controlMark
    palette.shadow: Style.black
    palette.highlight: Style.accent
    palette.highlightedText: Style.black
    palette.placeholderText: Style.secondary
    palette.toolTipBase: Style.controlMidlight
    palette.toolTipText: Style.primaryText
    palette.disabled.button: Style.controlFaceDisabled
    palette.disabled.buttonText: Style.disabledText
    palette.disabled.windowText: Style.disabledText
    palette.disabled.text: Style.disabledText

    Rectangle {
        anchors.fill: parent
        color: Style.background
    }

    // The window has no title bar: dragging any empty background moves it.
    DragHandler {
        target: null
        onActiveChanged: if (active && root.Window.window)
            WindowManagerDrag.move(root.Window.window)
    }

    ColumnLayout {
        id: sections

        objectName: "sections"
        x: Style.windowPadding
        width: root.width - 2 * Style.windowPadding
        y: Math.max(Style.windowPadding, (root.height - implicitHeight) / 2)
        height: Math.min(implicitHeight, root.height - 2 * Style.windowPadding)
        spacing: Style.sectionSpacing

        Header {
            Layout.fillWidth: true
        }
        Tagline {
            Layout.fillWidth: true
        }
        DropZone {
            appModel: root.model
            Layout.fillWidth: true
        }
        QueueList {
            id: queue

            appModel: root.model
            revealer: root.revealer
            beat: root.beat
            visible: root.model.items.count > 0
            Layout.fillWidth: true
        }
        DestinationBar {
            appModel: root.model
            Layout.fillWidth: true
        }
        BadgeRow {
            Layout.fillWidth: true
        }
        NoticeLine {
            text: root.model.notice
            visible: root.model.notice.length > 0
            Layout.fillWidth: true
        }
        ActionBar {
            appModel: root.model
            beat: root.beat
            Layout.fillWidth: true
        }
    }
    BatchAnnouncer {
        appModel: root.model
        beat: root.beat
    }
    Timer {
        interval: 250
        repeat: true
        running: root.model.running && !root.model.paused
        onTriggered: root.beat++
    }
}
