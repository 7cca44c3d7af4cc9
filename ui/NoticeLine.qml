// The model's notice, verbatim, in orange.
import QtQuick

Text {
    objectName: "noticeLine"
    color: Style.orange
    font.pixelSize: 12
    wrapMode: Text.Wrap
    textFormat: Text.PlainText
    Accessible.role: Accessible.AlertMessage
}
