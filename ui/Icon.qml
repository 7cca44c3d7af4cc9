// The application's own vector icons, drawn on a 24-unit grid and tinted by
// the view: play rectangle, document with down arrow, film, warning circle,
// filled check-mark circle, cross, seal with check, padlock.
import QtQuick
import QtQuick.Shapes

Item {
    id: root

    required property string name
    property color color: Style.primaryText
    property real size: 20
    property real weight: 1.7 // stroke width on the 24-unit grid

    readonly property var shapes: ({
        "play.rectangle.fill": {
            fill: "M5 4 H19 A3 3 0 0 1 22 7 V17 A3 3 0 0 1 19 20 H5 A3 3 0 0 1 2 17 V7 A3 3 0 0 1 5 4 Z M10 8.4 V15.6 L16 12 Z"
        },
        "arrow.down.document": {
            stroke: "M6 2.5 H14 L19 7.5 V21.5 H6 Z M14 2.5 V7.5 H19 M12.5 10 V17.5 M9.5 14.5 L12.5 17.5 L15.5 14.5"
        },
        "film": {
            stroke: "M5 4 H19 A2 2 0 0 1 21 6 V18 A2 2 0 0 1 19 20 H5 A2 2 0 0 1 3 18 V6 A2 2 0 0 1 5 4 Z M7.5 4 V20 M16.5 4 V20 M3 8 H7.5 M3 12 H7.5 M3 16 H7.5 M16.5 8 H21 M16.5 12 H21 M16.5 16 H21"
        },
        "exclamationmark.circle": {
            stroke: "M12 3 A9 9 0 1 1 11.99 3 Z M12 7 V13.5",
            fill: "M12 15.6 A1.15 1.15 0 1 1 11.99 15.6 Z"
        },
        "checkmark.circle.fill": {
            fill: "M12 2.5 A9.5 9.5 0 1 1 11.99 2.5 Z M7 12.3 L8.5 10.8 L10.7 13 L15.5 8.2 L17 9.7 L10.7 16 Z"
        },
        "xmark": {
            stroke: "M7 7 L17 17 M17 7 L7 17"
        },
        "checkmark.seal": {
            stroke: "M10.93 3.09 Q12.00 2.20 13.07 3.09 Q14.15 3.98 15.52 3.75 Q16.90 3.51 17.38 4.82 Q17.87 6.13 19.18 6.62 Q20.49 7.10 20.25 8.48 Q20.02 9.85 20.91 10.93 Q21.80 12.00 20.91 13.07 Q20.02 14.15 20.25 15.52 Q20.49 16.90 19.18 17.38 Q17.87 17.87 17.38 19.18 Q16.90 20.49 15.52 20.25 Q14.15 20.02 13.07 20.91 Q12.00 21.80 10.93 20.91 Q9.85 20.02 8.48 20.25 Q7.10 20.49 6.62 19.18 Q6.13 17.87 4.82 17.38 Q3.51 16.90 3.75 15.52 Q3.98 14.15 3.09 13.07 Q2.20 12.00 3.09 10.93 Q3.98 9.85 3.75 8.48 Q3.51 7.10 4.82 6.62 Q6.13 6.13 6.62 4.82 Q7.10 3.51 8.48 3.75 Q9.85 3.98 10.93 3.09 Z M8.3 12.2 L10.8 14.7 L15.8 9.6"
        },
        "lock": {
            stroke: "M8 11 V8 A4 4 0 0 1 16 8 V11",
            fill: "M6.5 11 H17.5 A1.5 1.5 0 0 1 19 12.5 V19.5 A1.5 1.5 0 0 1 17.5 21 H6.5 A1.5 1.5 0 0 1 5 19.5 V12.5 A1.5 1.5 0 0 1 6.5 11 Z"
        }
    })
    readonly property var shape: shapes[name] || {}

    implicitWidth: size
    implicitHeight: size
    Accessible.ignored: true

    VectorShape {
        width: 24
        height: 24
        scale: root.size / 24
        transformOrigin: Item.TopLeft

        ShapePath {
            strokeWidth: -1
            fillColor: root.shape.fill ? root.color : "transparent"
            fillRule: ShapePath.OddEvenFill
            PathSvg { path: root.shape.fill || "" }
        }
        ShapePath {
            strokeWidth: root.shape.stroke ? root.weight : -1
            strokeColor: root.color
            fillColor: "transparent"
            capStyle: ShapePath.RoundCap
            joinStyle: ShapePath.RoundJoin
            PathSvg { path: root.shape.stroke || "" }
        }
    }
}
