# The Debian package, made by CPack from the install rules (script/package).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME bramblecrest)
set(CPACK_PACKAGE_VENDOR "The Bramblecrest developers")
set(CPACK_PACKAGE_CONTACT "The Bramblecrest developers <packages@bramblecrest.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn QuickTime movies into MP4 files for a video editor")
set(CPACK_PACKAGE_DESCRIPTION
    "Bramblecrest converts QuickTime movies (.mov) into MP4 files that a video\n\
editor takes without complaint, in a window where movies are dropped and\n\
converted one after another, or one at a time from the command line.\n\
H.264 video in yuv420p is copied untouched, anything else is encoded to\n\
H.264; audio becomes AAC; HDR footage is refused. The work is done by\n\
ffprobe and ffmpeg, run as child processes.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${BRAMBLECREST_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What is loaded at run time without being linked: the tools run as child
# processes, the QML modules the window imports, Qt's platform plugins and
# the SVG image plugin for the icons.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "ffmpeg, qml6-module-qtquick, qml6-module-qtquick-controls, \
qml6-module-qtquick-templates, qml6-module-qtquick-layouts, qml6-module-qtquick-shapes, \
qml6-module-qtquick-window, qml6-module-qtqml-workerscript, qt6-qpa-plugins, libqt6svg6")
# Used where installed, done without elsewhere: the command line's sleep
# inhibitor, loaded when there is a bus to ask; Qt's Wayland platform
# plugin, without which a Wayland session shows the window through
# XWayland; the portal theme the window asks for, which brings the
# desktop's file dialogs.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libsystemd0, qt6-wayland, qt6-xdgdesktopportal-platformtheme")
include(CPack)
