// Startup notification (X11) and activation tokens (Wayland) for raised windows.
#include "LaunchFeedback.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <QWindow>

#if QT_CONFIG(xcb) && defined(BRAMBLECREST_HAVE_XLIB)
#include <QtGui/qguiapplication_platform.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#endif

using namespace Qt::StringLiterals;

namespace {

#if QT_CONFIG(xcb) && defined(BRAMBLECREST_HAVE_XLIB)

// A startup-notification message, sent to the root window in pieces of 20
// bytes, the first marked _NET_STARTUP_INFO_BEGIN, as freedesktop's
// startup-notification protocol has it.
void sendStartupMessage(Display* display, ::Window window, const QByteArray& message)
{
    const Atom begin = XInternAtom(display, "_NET_STARTUP_INFO_BEGIN", False);
    const Atom more = XInternAtom(display, "_NET_STARTUP_INFO", False);
    const ::Window root = DefaultRootWindow(display);
    const QByteArray bytes = message + '\0';
    for (qsizetype sent = 0; sent < bytes.size(); sent += 20) {
        XEvent event {};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = sent == 0 ? begin : more;
        event.xclient.format = 8;
        const QByteArray piece = bytes.mid(sent, 20);
        std::copy(piece.begin(), piece.end(), event.xclient.data.b);
        XSendEvent(display, root, False, PropertyChangeMask, &event);
    }
}

// Ends the launcher's feedback for `startupId`, and asks the window manager
// to activate the window as of the click that launched it, so focus-stealing
// prevention sees a request the user made.
bool activateOnX11(QWindow* window, const QString& startupId)
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    Display* display = x11 ? x11->display() : nullptr;
    if (!display)
        return false;
    const ::Window id = window->winId();
    const QByteArray utf8 = startupId.toUtf8();
    XChangeProperty(display, id, XInternAtom(display, "_NET_STARTUP_ID", False),
        XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
        reinterpret_cast<const unsigned char*>(utf8.constData()), int(utf8.size()));

    QByteArray quoted = utf8;
    quoted.replace('\\', "\\\\").replace('"', "\\\"");
    sendStartupMessage(display, id, "remove: ID=\"" + quoted + '"');

    // Launchers end the id with _TIME and the X server time of the click.
    const QRegularExpressionMatch time = QRegularExpression(u"_TIME(\\d+)$"_s).match(startupId);
    const bool timed = time.hasMatch();
    if (timed) {
        XEvent event {};
        event.xclient.type = ClientMessage;
        event.xclient.window = id;
        event.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = 1; // from an application
        event.xclient.data.l[1] = static_cast<long>(time.captured(1).toULong());
        XSendEvent(display, DefaultRootWindow(display), False,
            SubstructureRedirectMask | SubstructureNotifyMask, &event);
    }
    XFlush(display);
    return timed;
}

#endif

} // namespace

void LaunchFeedback::activate(QWindow* window, const QVariantMap& platformData,
    const std::function<bool()>& childrenMayStart)
{
    if (!window)
        return;
    window->show();
    window->raise();
    const QString platform = QGuiApplication::platformName();
#if QT_CONFIG(xcb) && defined(BRAMBLECREST_HAVE_XLIB)
    const QString startupId = platformData.value(u"desktop-startup-id"_s).toString();
    if (platform == u"xcb"_s && !startupId.isEmpty() && activateOnX11(window, startupId))
        return;
#endif
    const QByteArray token = platformData.value(u"activation-token"_s).toString().toUtf8();
    // Qt 6.4 takes a window's activation token only from the environment
    // (and removes it there once used). Changing the environment while
    // another thread forks and runs ffmpeg could hand that child a torn
    // environment, so the token is used only while no conversion runs.
    if (platform.startsWith(u"wayland"_s) && !token.isEmpty() && !(childrenMayStart && childrenMayStart())) {
        qputenv("XDG_ACTIVATION_TOKEN", token);
        window->requestActivate();
        qunsetenv("XDG_ACTIVATION_TOKEN");
        return;
    }
    window->requestActivate();
}
