// A small indeterminate activity indicator: a turning arc in the secondary
// colour, drawn with a shape so it matches the dark window. It turns in four
// steps a second rather than with a continuous animation: every step redraws
// the whole window, and at 60 frames a second that drawing would cost more
// processor time than a batch of copies leaves to spare.
import QtQuick
import QtQuick.Shapes

Item {
    id: root

    property bool running: visible

    implicitWidth: 16
    implicitHeight: 16
    Accessible.role: Accessible.Animation
    Accessible.name: "Converting"

    Shape {
        id: arc

        anchors.fill: parent
        layer.enabled: true
        layer.samples: 4

        ShapePath {
            strokeColor: Style.secondary
            strokeWidth: 2
            fillColor: "transparent"
            capStyle: ShapePath.RoundCap
            startX: root.width / 2
            startY: 1
            PathArc {
                x: 1
                y: root.height / 2
                radiusX: root.width / 2 - 1
                radiusY: root.height / 2 - 1
                useLargeArc: true
            }
        }
    }
    Timer {
        interval: 250
        repeat: true
        running: root.running
        onTriggered: arc.rotation = (arc.rotation + 45) % 360
    }
}
