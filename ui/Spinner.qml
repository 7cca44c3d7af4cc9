// A small indeterminate activity indicator: a turning arc in the secondary
// colour, drawn with a shape so it matches the dark window. It turns a step
// at a time, on the window's beat, rather than with a continuous animation:
// each step is a frame, and 60 frames a second would cost more processor time
// than a batch of copies leaves to spare (a GPU renderer redraws the whole
// window for each).
import QtQuick
import QtQuick.Shapes

Item {
    id: root

    property int step: 0 // turned 45° per step

    implicitWidth: 16
    implicitHeight: 16
    Accessible.role: Accessible.Animation
    Accessible.name: "Converting"

    VectorShape {
        id: arc

        anchors.fill: parent
        rotation: root.step % 8 * 45

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
}
