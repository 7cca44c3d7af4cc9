// org.freedesktop.Notifications: Notify for a batch that ended on its own
// while no window of the application was active; none for a cancelled batch,
// which the user just saw to.
#include "BatchNotifier.h"

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

BatchNotifier::BatchNotifier(BatchTracker* batch, QWindow* window, ActiveTest anyWindowActive,
    const QDBusConnection& session, QObject* parent)
    : QObject(parent)
    , m_window(window)
    , m_anyWindowActive(std::move(anyWindowActive))
    , m_session(session)
{
    connect(batch, &BatchTracker::finished, this, &BatchNotifier::notify);
    m_session.connect(QString(), notificationsPath, notificationsInterface, u"ActionInvoked"_s, this,
        SLOT(onActionInvoked(uint, QString)));
}

BatchNotifier::BatchNotifier(BatchTracker* batch, QWindow* window, ActiveTest anyWindowActive,
    QObject* parent)
    : BatchNotifier(batch, window, std::move(anyWindowActive), QDBusConnection::sessionBus(), parent)
{
}

QString BatchNotifier::body(const BatchTracker::Outcome& outcome)
{
    if (!outcome.onlyName.isEmpty()) {
        return outcome.failed ? u"%1 could not be converted"_s.arg(outcome.onlyName)
                              : u"%1 converted"_s.arg(outcome.onlyName);
    }
    if (outcome.failed == 0)
        return u"%1 movies converted"_s.arg(outcome.converted);
    return u"%1 converted, %2 failed"_s.arg(outcome.converted).arg(outcome.failed);
}

void BatchNotifier::notify(const BatchTracker::Outcome& outcome)
{
    if (outcome.cancelled || outcome.converted + outcome.failed == 0 || !m_session.isConnected())
        return;
    // The user who looks at a window sees the batch end there.
    if (m_anyWindowActive && m_anyWindowActive())
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

void BatchNotifier::onActionInvoked(uint id, const QString& action)
{
    if (id == 0 || id != m_shown || action != u"default"_s || !m_window)
        return;
    m_window->show();
    m_window->raise();
    m_window->requestActivate();
}
