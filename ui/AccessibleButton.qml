// The base of every button in the window: the accessible action "Press",
// which switch access, voice control and screen readers send, is a click,
// and so are Return and Enter on the focused button, as Space is.
import QtQuick
import QtQuick.Controls.Basic

Button {
    id: control

    // Qt Quick Controls 6.4 offer "Press" on every button but leave it
    // unhandled: the accessible item looks for an Accessible.pressAction
    // handler, then for a method of this name, and finds neither on a Button,
    // so the request succeeds and nothing happens.
    //
    // The click comes on the next turn of the event loop, as a pointer's
    // would, so the assistive tool's request is answered at once, also when
    // the click opens a modal file dialog.
    function accessiblePressAction() {
        Qt.callLater(control.clickWithoutPointer)
    }
    // A button that is hidden or disabled takes no click, so no "Press" either.
    function clickWithoutPointer() {
        if (!control.visible || !control.enabled)
            return
        if (control.action)
            control.action.trigger(control)
        else
            control.clicked()
    }

    // Qt Quick Controls 6.4 press a button with Space alone.
    Keys.onReturnPressed: clickWithoutPointer()
    Keys.onEnterPressed: clickWithoutPointer()
}
