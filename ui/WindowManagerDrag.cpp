// Window moves and resizes that end when the button is released.
#include "WindowManagerDrag.h"

#include <QEvent>
#include <QCoreApplication>

WindowManagerDrag::WindowManagerDrag(QObject* parent)
    : QObject(parent)
{
    if (QCoreApplication* application = QCoreApplication::instance())
        application->installEventFilter(this);
}

bool WindowManagerDrag::move(QWindow* window)
{
    return takePress(window) && window->startSystemMove();
}

bool WindowManagerDrag::resize(QWindow* window, Qt::Edges edges)
{
    return takePress(window) && window->startSystemResize(edges);
}

bool WindowManagerDrag::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress && watched->isWindowType())
        ++m_presses;
    return false;
}

bool WindowManagerDrag::takePress(QWindow* window)
{
    // Once the window manager has the pointer, Qt sees the release at a
    // place it has not seen the pointer move to, and first makes up a move
    // there with the button still down. A drag handler takes that for a
    // new drag; handing it over again would send _NET_WM_MOVERESIZE for a
    // button that is released a moment later, before the window manager has
    // the pointer, and the window would follow the pointer until the next
    // click.
    if (!window || m_pressHandedOver == m_presses)
        return false;
    m_pressHandedOver = m_presses;
    return true;
}
