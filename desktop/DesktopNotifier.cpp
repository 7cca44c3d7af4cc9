// org.freedesktop.Notifications: Notify with the summed outcome; none for a
// cancelled one, which the user just saw to. Its default action, "Show",
// brings the application forward.
#include "DesktopNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

using namespace Qt::StringLiterals;

namespace {

const QString notificationsService = u"org.freedesktop.Notifications"_s;
const QString notificationsPath = u"/org/freedesktop/Notifications"_s;
const QString notificationsInterface = u"org.freedesktop.Notifications"_s;
constexpr int replyTimeout = 500; // ms; a slow notification server holds up nothing

} // namespace

DesktopNotifier::DesktopNotifier(const QDBusConnection& session, QObject* parent)
    : CompletionNotifier(parent)
    , m_session(session)
{
    m_session.connect(QString(), notificationsPath, notificationsInterface, u"ActionInvoked"_s, this,
        SLOT(onActionInvoked(uint, QString)));
}

QString DesktopNotifier::body(const BatchRun::Outcome& outcome)
{
    if (!outcome.onlyName.isEmpty()) {
        return outcome.failed ? u"%1 could not be converted"_s.arg(outcome.onlyName)
                              : u"%1 converted"_s.arg(outcome.onlyName);
    }
    if (outcome.failed == 0)
        return u"%1 movies converted"_s.arg(outcome.converted);
    return u"%1 converted, %2 failed"_s.arg(outcome.converted).arg(outcome.failed);
}

void DesktopNotifier::notify(const BatchRun::Outcome& outcome)
{
    if (outcome.cancelled || outcome.converted + outcome.failed == 0 || !m_session.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        notificationsService, notificationsPath, notificationsInterface, u"Notify"_s);
    call.setArguments({ u"Bramblecrest"_s, m_shown, u"org.bramblecrest.Bramblecrest"_s,
        u"Conversion finished"_s, body(outcome), QStringList { u"default"_s, u"Show"_s },
        QVariantMap { { u"desktop-entry"_s, u"org.bramblecrest.Bramblecrest"_s } }, -1 });
    auto* watcher = new QDBusPendingCallWatcher(m_session.asyncCall(call, replyTimeout), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        const QDBusPendingReply<uint> reply = *watcher;
        if (!reply.isError())
            m_shown = reply.value();
    });
}

void DesktopNotifier::onActionInvoked(uint id, const QString& action)
{
    if (id == 0 || id != m_shown || action != u"default"_s)
        return;
    Q_EMIT clicked();
}
