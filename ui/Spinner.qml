// A small indeterminate activity indicator: a turning arc in the secondary
// colour, drawn with a shape so it matches the dark window.
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
        RotationAnimator on rotation {
            from: 0
            to: 360
            duration: 900
            loops: Animation.Infinite
            running: root.running
        }
    }
}
