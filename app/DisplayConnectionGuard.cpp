// A message handler that holds Qt's messages while the platform plugin
// connects: its warnings ("could not connect to display") come before the
// fatal message, and only the fatal one tells that no plugin could start.
#include "DisplayConnectionGuard.h"

#include "GraphicalSession.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <mutex>

using namespace Qt::StringLiterals;

namespace {

struct HeldMessage
{
    QtMsgType type;
    QByteArray file;
    int line;
    QByteArray function;
    QByteArray category;
    QString text;
};

std::mutex heldLock;
QList<HeldMessage> held;
QtMessageHandler previousHandler = nullptr;

const char* orNull(const QByteArray& text)
{
    return text.isNull() ? nullptr : text.constData();
}

// The platform plugins' own words when the display is not there or refuses:
// X11's (qt.qpa.xcb) and Wayland's.
bool refusedConnection(const QString& text)
{
    return text.contains(u"could not connect to display"_s, Qt::CaseInsensitive)
        || text.contains(u"Failed to create wl_display"_s, Qt::CaseInsensitive);
}

// Restores the previous handler and gives it the held messages. Called with heldLock taken.
void passOnHeld()
{
    qInstallMessageHandler(previousHandler);
    for (const HeldMessage& message : std::as_const(held)) {
        const QMessageLogContext context(
            orNull(message.file), message.line, orNull(message.function), orNull(message.category));
        previousHandler(message.type, context, message.text);
    }
    held.clear();
}

void hold(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    const std::lock_guard guard(heldLock);
    if (type != QtFatalMsg) {
        held.append({ type, QByteArray(context.file), context.line, QByteArray(context.function),
            QByteArray(context.category), text });
        return;
    }
    for (const HeldMessage& message : std::as_const(held)) {
        if (refusedConnection(message.text)) {
            std::fputs(noGraphicalSessionLine, stderr);
            std::_Exit(1); // nothing has started yet that would need an orderly end
        }
    }
    passOnHeld();
    previousHandler(type, context, text); // Qt aborts when this returns, as without the guard
}

} // namespace

DisplayConnectionGuard::DisplayConnectionGuard()
{
    const std::lock_guard guard(heldLock);
    previousHandler = qInstallMessageHandler(hold);
}

void DisplayConnectionGuard::release()
{
    if (!m_holding)
        return;
    m_holding = false;
    const std::lock_guard guard(heldLock);
    passOnHeld();
}
