// The window's shared colours and sizes. The window is dark whatever the
// desktop's own setting.
pragma Singleton
import QtQuick

QtObject {
    readonly property color accent: Qt.rgba(0.72, 0.94, 0.35, 1)
    readonly property color background: Qt.rgba(0.065, 0.075, 0.085, 1)
    readonly property color primaryText: Qt.rgba(1, 1, 1, 0.88)
    readonly property color secondary: Qt.rgba(0.92, 0.92, 0.96, 0.6)
    readonly property color orange: Qt.rgba(1, 0.624, 0.039, 1)
    readonly property color black: "#000000"
    // The window's one-pixel edge: a line of the controls, half seen.
    readonly property color windowEdge: Qt.rgba(0.42, 0.44, 0.47, 0.6)

    readonly property int sectionSpacing: 22
    readonly property int windowPadding: 30

    // Colours of the controls' own palette (buttons, scroll bars, spinner).
    readonly property color controlFace: Qt.rgba(0.22, 0.235, 0.255, 1)
    readonly property color controlFaceDisabled: Qt.rgba(0.15, 0.16, 0.18, 1)
    readonly property color controlBase: Qt.rgba(0.11, 0.12, 0.135, 1)
    readonly property color controlLine: Qt.rgba(0.42, 0.44, 0.47, 1)
    readonly property color controlLight: Qt.rgba(0.36, 0.375, 0.395, 1)
    readonly property color controlMidlight: Qt.rgba(0.17, 0.18, 0.2, 1)
    readonly property color controlMark: Qt.rgba(0.78, 0.8, 0.82, 1)
    readonly property color disabledText: Qt.rgba(1, 1, 1, 0.35)
}
