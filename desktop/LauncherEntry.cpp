// Update(app_uri, properties) goes out as a broadcast signal: a dock that
// shows it listens on the session bus, and nothing answers.
#include "LauncherEntry.h"

#include <QDBusMessage>

using namespace Qt::StringLiterals;

LauncherEntry::LauncherEntry(const QDBusConnection& session, QObject* parent)
    : QObject(parent)
    , m_session(session)
{
    m_throttle.setInterval(interval);
    m_throttle.setSingleShot(true);
    // A report held back goes out when the interval ends, and starts the
    // next interval: without that, the next report would go out at once.
    connect(&m_throttle, &QTimer::timeout, this, [this] {
        if (std::exchange(m_pending, false)) {
            send(true);
            m_throttle.start();
        }
    });
}

void LauncherEntry::show(double fraction, int left)
{
    m_fraction = fraction;
    m_left = left;
    if (m_throttle.isActive()) {
        m_pending = true;
        return;
    }
    send(true);
    m_throttle.start();
}

void LauncherEntry::hide()
{
    m_throttle.stop();
    m_pending = false;
    send(false);
}

void LauncherEntry::send(bool visible)
{
    if (!m_session.isConnected())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(u"/org/bramblecrest/Bramblecrest/LauncherEntry"_s,
        u"com.canonical.Unity.LauncherEntry"_s, u"Update"_s);
    signal.setArguments({ applicationUri,
        QVariantMap {
            { u"progress"_s, visible ? m_fraction : 0.0 },
            { u"progress-visible"_s, visible },
            { u"count"_s, qint64(visible ? m_left : 0) },
            { u"count-visible"_s, visible },
        } });
    m_session.send(signal);
}
