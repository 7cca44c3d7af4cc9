// A standard push button in the window's dark palette; `small` for the row's
// "Show".
import QtQuick

AccessibleButton {
    id: control

    property bool small: false

    font.pixelSize: small ? 11 : 13
    leftPadding: small ? 10 : 14
    rightPadding: small ? 10 : 14
    topPadding: small ? 3 : 5
    bottomPadding: small ? 3 : 5
    Accessible.name: text

    contentItem: Text {
        text: control.text
        font: control.font
        color: control.enabled ? Style.primaryText : Style.disabledText
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }
    background: Rectangle {
        implicitHeight: control.small ? 20 : 26
        radius: control.small ? 5 : 6
        color: !control.enabled ? Style.controlFaceDisabled
             : control.down ? Style.controlLight : Style.controlFace
        border.color: control.visualFocus ? Style.accent : Qt.rgba(1, 1, 1, 0.08)
        border.width: control.visualFocus ? 2 : 1
    }
}
