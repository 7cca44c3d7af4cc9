// Whether a window can be opened at all, asked before Qt is loaded, and the
// line that says when it cannot.
#pragma once

// The one line written on standard error when no window can be opened.
inline constexpr const char* noGraphicalSessionLine
    = "bramblecrest: cannot open a window: no graphical session. To convert from a terminal: "
      "bramblecrest --convert INPUT OUTPUT\n";

// False when nothing names a display: neither DISPLAY nor WAYLAND_DISPLAY is
// set, and no platform is chosen for Qt (QT_QPA_PLATFORM or -platform, such
// as "offscreen", which needs no display).
bool graphicalSessionNamed(int argc, char* argv[]);
