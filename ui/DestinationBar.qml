// Where the MP4s go: the chosen folder or beside each original.
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Bramblecrest

RowLayout {
    id: root

    required property AppModel appModel

    objectName: "destinationBar"

    ColumnLayout {
        spacing: 5
        Layout.fillWidth: true

        Text {
            text: "SAVE TO"
            color: Style.secondary
            font.pixelSize: 10
            font.bold: true
        }
        Text {
            objectName: "destinationText"
            text: root.appModel.destinationPath.length > 0 ? root.appModel.destinationPath
                                                           : "Same folder as each original"
            color: Style.primaryText
            font.pixelSize: 12
            elide: Text.ElideMiddle
            maximumLineCount: 1
            textFormat: Text.PlainText
            Layout.fillWidth: true
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            Accessible.description: "Save to"
        }
    }
    PushButton {
        objectName: "changeButton"
        text: "Change…"
        enabled: !root.appModel.running
        Accessible.name: "Change destination folder"
        onClicked: root.appModel.chooseFolder()
    }
    PushButton {
        objectName: "resetButton"
        text: "Reset"
        visible: root.appModel.destinationPath.length > 0
        enabled: !root.appModel.running
        Accessible.name: "Reset destination to the original folders"
        onClicked: root.appModel.resetDestination()
    }
}
