// The batch's progress on the taskbar or dock entry of the application,
// through the com.canonical.Unity.LauncherEntry signal that KDE Plasma's task
// manager and the common GNOME docks show.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QTimer>

class BatchTracker;

class LauncherProgress : public QObject
{
    Q_OBJECT

public:
    LauncherProgress(BatchTracker* batch, const QDBusConnection& session, QObject* parent = nullptr);
    explicit LauncherProgress(BatchTracker* batch, QObject* parent = nullptr);

    static inline const QString applicationUri
        = QStringLiteral("application://org.bramblecrest.Bramblecrest.desktop");
    // Progress reports come far more often than a dock can redraw.
    static constexpr int interval = 250; // ms between updates, at most

private:
    void schedule();
    void update(bool visible);

    BatchTracker* m_batch;
    QDBusConnection m_session;
    QTimer m_throttle;
    bool m_pending = false;
};
