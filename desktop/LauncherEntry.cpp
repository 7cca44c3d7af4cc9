// Update(app_uri, properties) goes out as a broadcast signal: a dock that
// shows it listens on the session bus, and nothing answers.
#include "LauncherProgress.h"

#include "BatchTracker.h"

#include <QDBusMessage>

using namespace Qt::StringLiterals;

LauncherProgress::LauncherProgress(BatchTracker* batch, const QDBusConnection& session, QObject* parent)
    : QObject(parent)
    , m_batch(batch)
    , m_session(session)
{
    m_throttle.setInterval(interval);
    m_throttle.setSingleShot(true);
    // A report held back goes out when the interval ends, and starts the
    // next interval: without that, the next report would go out at once.
    connect(&m_throttle, &QTimer::timeout, this, [this] {
        if (std::exchange(m_pending, false) && m_batch->running()) {
            update(true);
            m_throttle.start();
        }
    });
    connect(batch, &BatchTracker::started, this, [this] {
        update(true);
        m_throttle.start();
    });
    connect(batch, &BatchTracker::progressed, this, &LauncherProgress::schedule);
    connect(batch, &BatchTracker::finished, this, [this] {
        m_throttle.stop();
        m_pending = false;
        update(false);
    });
}

LauncherProgress::LauncherProgress(BatchTracker* batch, QObject* parent)
    : LauncherProgress(batch, QDBusConnection::sessionBus(), parent)
{
}

void LauncherProgress::schedule()
{
    if (m_throttle.isActive()) {
        m_pending = true;
        return;
    }
    update(true);
    m_throttle.start();
}

void LauncherProgress::update(bool visible)
{
    if (!m_session.isConnected())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(u"/org/bramblecrest/Bramblecrest/LauncherEntry"_s,
        u"com.canonical.Unity.LauncherEntry"_s, u"Update"_s);
    signal.setArguments({ applicationUri,
        QVariantMap {
            { u"progress"_s, visible ? m_batch->fraction() : 0.0 },
            { u"progress-visible"_s, visible },
            { u"count"_s, qint64(visible ? m_batch->left() : 0) },
            { u"count-visible"_s, visible },
        } });
    m_session.send(signal);
}
