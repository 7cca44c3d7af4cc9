// The one way the window draws vector pieces (icons, outlines, the spinner):
// a shape drawn through a multisampled layer, so a GPU renderer, which draws
// a shape's triangles without antialiasing, gives it smooth edges too; whole
// and sharp at any display scale with every renderer. Its ShapePaths go in
// as children; the item itself may be scaled, rotated and moved freely.
//
// Qt 6.4's software renderer draws a mirrored layer wrongly at a device
// pixel ratio other than 1: QSGSoftwareLayer renders into a pixmap that
// carries the ratio and also gives its painter a window already multiplied
// by it, so the picture is flipped about the layer's height in device pixels
// instead of in points and lands (ratio − 1) × height too low: cut off at
// 1.25 and 1.5, gone from 2 on. Unmirrored, the two scalings agree, but that
// renderer then shows the picture upside down, so there the shape is drawn
// upside down inside the layer. (A shape without a layer is no way out: with
// the software renderer it ignores a clip that hides it entirely, such as
// the queue's for a row scrolled out of view.)
import QtQuick
import QtQuick.Shapes

Item {
    id: root

    default property alias paths: shape.data

    layer.enabled: true
    layer.samples: 4
    layer.smooth: true
    layer.textureMirroring: ShaderEffectSource.NoMirroring

    Shape {
        id: shape

        anchors.fill: parent
        transform: Scale {
            origin.y: shape.height / 2
            yScale: root.GraphicsInfo.api === GraphicsInfo.Software ? -1 : 1
        }
    }
}
