// Tells the user, with a desktop notification, that the application's
// batches have finished while they were working elsewhere.
#pragma once

#include "DesktopServices.h"

#include <QDBusConnection>

class DesktopNotifier : public CompletionNotifier
{
    Q_OBJECT

public:
    explicit DesktopNotifier(const QDBusConnection& session = QDBusConnection::sessionBus(),
        QObject* parent = nullptr);

    void notify(const BatchRun::Outcome& outcome) override;

    static QString body(const BatchRun::Outcome& outcome);

private Q_SLOTS:
    void onActionInvoked(uint id, const QString& action);

private:
    QDBusConnection m_session;
    uint m_shown = 0; // the id of the notification on screen, 0 when none
};
