// The batches' progress on the taskbar or dock entry of the application,
// through the com.canonical.Unity.LauncherEntry signal that KDE Plasma's task
// manager and the common GNOME docks show.
#pragma once

#include "DesktopServices.h"

#include <QDBusConnection>
#include <QObject>
#include <QTimer>

class LauncherEntry : public QObject, public TaskbarProgress
{
    Q_OBJECT

public:
    explicit LauncherEntry(const QDBusConnection& session = QDBusConnection::sessionBus(),
        QObject* parent = nullptr);

    void show(double fraction, int left) override;
    void hide() override;

    static inline const QString applicationUri
        = QStringLiteral("application://org.bramblecrest.Bramblecrest.desktop");
    // Progress reports come far more often than a dock can redraw.
    static constexpr int interval = 250; // ms between updates, at most

private:
    void send(bool visible);

    QDBusConnection m_session;
    QTimer m_throttle;
    bool m_pending = false; // a report held back until the interval ends
    double m_fraction = 0;
    int m_left = 0;
};
