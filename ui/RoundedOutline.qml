// A dashed outline of a rounded rectangle, stroked inside the item's edge.
import QtQuick
import QtQuick.Shapes

VectorShape {
    id: root

    property real radius: 14
    property real lineWidth: 1
    property color color: Style.accent
    property list<real> dashPattern: [6, 5] // in line widths, so points at width 1

    // The stroke's centre runs half a line inside the edge, so none of it
    // leaves the shape.
    readonly property real inset: lineWidth / 2

    function outline(x, y, w, h, r) {
        return `M ${x + r} ${y} H ${x + w - r} A ${r} ${r} 0 0 1 ${x + w} ${y + r} `
            + `V ${y + h - r} A ${r} ${r} 0 0 1 ${x + w - r} ${y + h} H ${x + r} `
            + `A ${r} ${r} 0 0 1 ${x} ${y + h - r} V ${y + r} A ${r} ${r} 0 0 1 ${x + r} ${y} Z`
    }

    ShapePath {
        strokeColor: root.color
        strokeWidth: root.lineWidth
        strokeStyle: ShapePath.DashLine
        dashPattern: root.dashPattern
        dashOffset: 0
        capStyle: ShapePath.FlatCap
        joinStyle: ShapePath.MiterJoin
        miterLimit: 10
        fillColor: "transparent"
        PathSvg {
            path: root.outline(root.inset, root.inset, root.width - 2 * root.inset,
                root.height - 2 * root.inset, root.radius - root.inset)
        }
    }
}
