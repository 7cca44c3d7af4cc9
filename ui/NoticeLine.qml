// The model's notice, verbatim, in orange. Screen readers announce it as an
// alert when it is shown.
import QtQuick

Text {
    objectName: "noticeLine"
    color: Style.orange
    font.pixelSize: 12
    wrapMode: Text.Wrap
    textFormat: Text.PlainText
    Accessible.role: Accessible.AlertMessage
    Accessible.name: text
}
