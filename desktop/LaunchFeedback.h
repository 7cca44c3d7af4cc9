// Ending a launcher's busy feedback and raising the window it asked for, with
// the token the launcher passed in org.freedesktop.Application's platform data.
#pragma once

#include <QVariantMap>
#include <functional>

class QWindow;

namespace LaunchFeedback {

// Raises and activates `window` for the launch described by `platformData`:
// on X11 its "desktop-startup-id" ends the launcher's startup notification
// and carries the time of the click that launched it; on Wayland its
// "activation-token" lets the compositor hand the window focus.
// `childrenMayStart` tells whether a conversion might be starting a child
// process just now: the Wayland token goes through the environment, which
// is then left alone.
void activate(QWindow* window, const QVariantMap& platformData, const std::function<bool()>& childrenMayStart);

} // namespace LaunchFeedback
