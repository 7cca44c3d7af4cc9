// logind first: the portal's inhibitor is refused for suspend by some
// desktops' portal backends. Every call is asynchronous with a short timeout,
// and a missing bus, service or a refusal just means the batch runs without.
#include "SleepInhibitor.h"

#include "AppModel.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

using namespace Qt::StringLiterals;

namespace {

const QString reason = u"Converting movies"_s;

// The portal's Inhibit flags: 4 suspend, 8 idle.
constexpr uint portalSuspendAndIdle = 4 | 8;

} // namespace

SleepInhibitor::SleepInhibitor(AppModel* model, const QDBusConnection& system,
    const QDBusConnection& session, QObject* parent)
    : QObject(parent)
    , m_model(model)
    , m_system(system)
    , m_session(session)
{
    connect(model, &AppModel::runningChanged, this, [this] {
        if (m_model && m_model->running())
            take();
        else
            giveBack();
    });
    if (model->running())
        take();
}

SleepInhibitor::SleepInhibitor(AppModel* model, QObject* parent)
    : SleepInhibitor(model, QDBusConnection::systemBus(), QDBusConnection::sessionBus(), parent)
{
}

SleepInhibitor::~SleepInhibitor()
{
    giveBack();
}

void SleepInhibitor::take()
{
    giveBack();
    const quint64 request = ++m_request;
    if (!m_system.isConnected()) {
        askPortal(request);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(u"org.freedesktop.login1"_s,
        u"/org/freedesktop/login1"_s, u"org.freedesktop.login1.Manager"_s, u"Inhibit"_s);
    call.setArguments({ u"sleep:idle"_s, u"Bramblecrest"_s, reason, u"block"_s });
    auto* watcher = new QDBusPendingCallWatcher(m_system.asyncCall(call, replyTimeout), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, request, watcher] {
        watcher->deleteLater();
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *watcher;
        if (request != m_request)
            return; // the batch ended meanwhile: the descriptor closes with the reply
        if (reply.isError() || !reply.value().isValid())
            askPortal(request);
        else
            m_descriptor = reply.value();
    });
}

void SleepInhibitor::askPortal(quint64 request)
{
    if (!m_session.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(u"org.freedesktop.portal.Desktop"_s,
        u"/org/freedesktop/portal/desktop"_s, u"org.freedesktop.portal.Inhibit"_s, u"Inhibit"_s);
    call.setArguments({ QString(), portalSuspendAndIdle, QVariantMap { { u"reason"_s, reason } } });
    auto* watcher = new QDBusPendingCallWatcher(m_session.asyncCall(call, replyTimeout), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, request, watcher] {
        watcher->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *watcher;
        if (reply.isError())
            return;
        m_portalRequest = reply.value();
        if (request != m_request)
            giveBack();
    });
}

void SleepInhibitor::giveBack()
{
    ++m_request;
    m_descriptor = QDBusUnixFileDescriptor();
    if (!m_portalRequest.path().isEmpty()) {
        const QDBusMessage close = QDBusMessage::createMethodCall(u"org.freedesktop.portal.Desktop"_s,
            m_portalRequest.path(), u"org.freedesktop.portal.Request"_s, u"Close"_s);
        m_session.asyncCall(close, replyTimeout);
        m_portalRequest = QDBusObjectPath();
    }
}
